#include "app/ui/setting1.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/stamps.h"
#include "app/workbench.h"

namespace quilla {

TSetting1* Setting1 = nullptr;

namespace {

// A time format without its time-zone fields ("t"), quoted text kept.
QString WithoutTimeZone(const QString& format) {
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == '\'') quoted = !quoted;
        if (!quoted && c == 't') continue;
        out += c;
    }
    return out.simplified();
}

QLineEdit* NewEdit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

QCheckBox* NewCheck(QWidget* parent, const char* name, const QString& caption) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    return c;
}

}  // namespace

QString TSetting1::TimeText(const QTime& t, const QLocale& locale) {
    return locale.toString(t, WithoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}

QString TSetting1::DateTimeText(const QDateTime& t, const QLocale& locale) {
    return locale.toString(t.date(), QLocale::ShortFormat) + " " + TimeText(t.time(), locale);
}

TSetting1::TSetting1(Workbench& wb, QWidget* parent) : QDialog(parent), wb_(wb) {
    setObjectName("Setting1");
    setWindowTitle("Setting1");
    setModal(true);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");

    TabSheet1 = new QWidget;
    TabSheet1->setObjectName("TabSheet1");
    CheckBox1 = NewCheck(TabSheet1, "CheckBox1", "允许线性增量");
    Edit1 = NewEdit(TabSheet1, "Edit1");
    Edit2 = NewEdit(TabSheet1, "Edit2");
    Edit5 = NewEdit(TabSheet1, "Edit5");
    Edit6 = NewEdit(TabSheet1, "Edit6");
    auto* f1 = new QFormLayout(TabSheet1);
    f1->addRow(CheckBox1);
    f1->addRow("Start:    ", Edit1);
    f1->addRow("初始数值:", Edit2);
    f1->addRow("Byte长度:", Edit5);
    f1->addRow("增量:", Edit6);
    PageControl1->addTab(TabSheet1, "线性增量");

    TabSheet2 = new QWidget;
    TabSheet2->setObjectName("TabSheet2");
    CheckBox2 = NewCheck(TabSheet2, "CheckBox2", "允许日期和时间");
    Edit4 = NewEdit(TabSheet2, "Edit4");
    Edit3 = NewEdit(TabSheet2, "Edit3");
    auto* f2 = new QFormLayout(TabSheet2);
    f2->addRow(CheckBox2);
    f2->addRow("Start:    ", Edit4);
    f2->addRow(new QLabel("（共占用16Byte）", TabSheet2));
    f2->addRow("当前时间:", Edit3);
    // Wide enough for a whole date and time of this locale.
    {
        const QFontMetrics fm = Edit3->fontMetrics();
        const QString widest = DateTimeText(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)));
        const int frame = Edit3->sizeHint().width() - fm.horizontalAdvance(QLatin1Char('x')) * 17;
        Edit3->setMinimumWidth(frame + fm.horizontalAdvance(widest + "  "));
    }
    PageControl1->addTab(TabSheet2, "日期和时间");

    TabSheet3 = new QWidget;
    TabSheet3->setObjectName("TabSheet3");
    CheckBox3 = NewCheck(TabSheet3, "CheckBox3", "量产方式");
    CheckBox4 = NewCheck(TabSheet3, "CheckBox4", "检测引脚接触状态");
    CheckBox5 = NewCheck(TabSheet3, "CheckBox5", "Fast检测超限电流");
    auto* v3 = new QVBoxLayout(TabSheet3);
    v3->addWidget(CheckBox3);
    v3->addWidget(CheckBox4);
    v3->addWidget(CheckBox5);
    v3->addStretch(1);
    PageControl1->addTab(TabSheet3, "其它");

    RadioGroup1 = new QGroupBox("数制", this);
    RadioGroup1->setObjectName("RadioGroup1");
    BaseButtons = new QButtonGroup(this);
    auto* bases = new QVBoxLayout(RadioGroup1);
    const char* baseItems[3] = {"hex     ", "十进制", "浮点"};
    for (int i = 0; i < 3; ++i) {
        BaseItem[i] = new QRadioButton(QString::fromUtf8(baseItems[i]), RadioGroup1);
        BaseItem[i]->setObjectName(QString("BaseItem%1").arg(i));
        BaseButtons->addButton(BaseItem[i], i);
        bases->addWidget(BaseItem[i]);
    }

    Button1 = new QPushButton("OK", this);
    Button1->setObjectName("Button1");

    auto* side = new QVBoxLayout;
    side->addWidget(RadioGroup1);
    side->addStretch(1);
    side->addWidget(Button1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(PageControl1, 1);
    layout->addLayout(side);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);

    FromOptions();

    // The dialog is the view of the options: every change goes straight there.
    Options& o = wb_.options;
    auto bindCheck = [this](QCheckBox* c, bool Options::*field) {
        connect(c, &QCheckBox::toggled, this, [this, field](bool on) {
            if (!loading_) wb_.options.*field = on;
        });
    };
    bindCheck(CheckBox1, &Options::SerialStamp);
    bindCheck(CheckBox2, &Options::DateStamp);
    bindCheck(CheckBox3, &Options::MassProduction);
    bindCheck(CheckBox4, &Options::ContactCheck);
    bindCheck(CheckBox5, &Options::FastCurrentCheck);
    auto bindEdit = [this](QLineEdit* e, std::string Options::*field) {
        connect(e, &QLineEdit::textChanged, this, [this, field](const QString& t) {
            if (!loading_) wb_.options.*field = t.toStdString();
        });
    };
    bindEdit(Edit1, &Options::SerialStart);
    bindEdit(Edit2, &Options::SerialValue);
    bindEdit(Edit5, &Options::SerialLength);
    bindEdit(Edit6, &Options::SerialStep);
    bindEdit(Edit4, &Options::DateStart);
    connect(BaseButtons, &QButtonGroup::idClicked, this, [this](int id) { wb_.options.NumberBase = id; });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    // The date stamp reads this dialog's clock, also during a batch.
    o.StampClock = [this] { return DateTimeText(Clock()).toStdString(); };

    // The clock runs from start-up; it first shows the time alone.
    Edit3->setText(TimeText(Clock().time()));
    Timer1->start();
}

TSetting1::~TSetting1() {
    wb_.options.StampClock = nullptr;
    if (Setting1 == this) Setting1 = nullptr;
}

void TSetting1::FromOptions() {
    const Options& o = wb_.options;
    loading_ = true;
    CheckBox1->setChecked(o.SerialStamp);
    CheckBox2->setChecked(o.DateStamp);
    CheckBox3->setChecked(o.MassProduction);
    CheckBox4->setChecked(o.ContactCheck);
    CheckBox5->setChecked(o.FastCurrentCheck);
    Edit1->setText(QString::fromStdString(o.SerialStart));
    Edit2->setText(QString::fromStdString(o.SerialValue));
    Edit5->setText(QString::fromStdString(o.SerialLength));
    Edit6->setText(QString::fromStdString(o.SerialStep));
    Edit4->setText(QString::fromStdString(o.DateStart));
    if (!o.DateText.empty()) Edit3->setText(QString::fromStdString(o.DateText));
    if (o.NumberBase >= 0 && o.NumberBase < 3) BaseItem[o.NumberBase]->setChecked(true);
    loading_ = false;
}

void TSetting1::ShowOnTab(const std::string& caption) {
    for (int i = 0; i < PageControl1->count(); ++i)
        if (PageControl1->tabText(i).toStdString() == caption) PageControl1->setCurrentIndex(i);
    exec();
}

void TSetting1::Timer1Timer() {
    wb_.options.DateText = DateTimeText(Clock()).toStdString();
    Edit3->setText(QString::fromStdString(wb_.options.DateText));
}

void TSetting1::Button1Click() { accept(); }

void TSetting1::FormClose() {
    Timer1->stop();
    ApplyStamps(wb_, false);
    FromOptions();
}

// Every way of closing (OK, Escape, the title bar) ends here.
void TSetting1::done(int r) {
    if (isVisible()) FormClose();
    QDialog::done(r);
}

void TSetting1::showEvent(QShowEvent* e) {
    FromOptions();
    Timer1->start();
    QDialog::showEvent(e);
}

}  // namespace quilla
