// The options dialog "Setting1": the serial-number stamp, the date stamp and
// the engine switches, a view of the workbench's options. Closing it, however
// it is closed, writes the ticked stamps once.
#pragma once

#include <QDateTime>
#include <QDialog>
#include <QLocale>
#include <functional>
#include <string>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;

namespace quilla {

struct Workbench;

class TSetting1 : public QDialog {
    Q_OBJECT
public:
    explicit TSetting1(Workbench& wb, QWidget* parent = nullptr);
    ~TSetting1() override;

    // The clock the dialog and the date stamp read; tests fix it.
    std::function<QDateTime()> Clock = [] { return QDateTime::currentDateTime(); };

    // The date-and-time text: the locale's short date, a blank, the locale's
    // long time without its time zone.
    static QString DateTimeText(const QDateTime& t, const QLocale& locale = QLocale());
    // The locale's long time alone, without its time zone.
    static QString TimeText(const QTime& t, const QLocale& locale = QLocale());

    // Opens the dialog modal on the tab of this caption ("线性增量", "其它").
    void ShowOnTab(const std::string& caption);

    // Handlers.
    void Timer1Timer();
    void Button1Click();
    void FormClose();

    QTabWidget* PageControl1;
    QWidget* TabSheet1;      // "线性增量"
    QWidget* TabSheet2;      // "日期和时间"
    QWidget* TabSheet3;      // "其它"
    QCheckBox* CheckBox1;    // "允许线性增量"
    QCheckBox* CheckBox2;    // "允许日期和时间"
    QCheckBox* CheckBox3;    // "量产方式"
    QCheckBox* CheckBox4;    // "检测引脚接触状态"
    QCheckBox* CheckBox5;    // "Fast检测超限电流"
    QLineEdit* Edit1;        // serial address
    QLineEdit* Edit2;        // serial value
    QLineEdit* Edit3;        // clock
    QLineEdit* Edit4;        // date address
    QLineEdit* Edit5;        // byte length
    QLineEdit* Edit6;        // step
    QGroupBox* RadioGroup1;  // "数制"
    QButtonGroup* BaseButtons;
    QRadioButton* BaseItem[3];
    QPushButton* Button1;    // "OK"
    QTimer* Timer1;

    // Shows the options' current values (the value field moves on after each pass).
    void FromOptions();

public slots:
    void done(int r) override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    Workbench& wb_;
    bool loading_ = false;
};

// The program's options dialog (created at start), null until then.
extern TSetting1* Setting1;

}  // namespace quilla
