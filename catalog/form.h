// The contract between the keyword dispatch and the algorithm forms.
//
// Every algorithm form derives from AlgorithmForm and registers its class with
// ONE line in its own .cpp file, at namespace scope:
//
//     QUILLA_FORM(TP27x);
//
// (inside the namespace that declares the class, with its plain name). The
// class must be constructible from `Workbench&`. The dispatch table (the
// fixed, ordered list of keywords and the class each one names) lives in
// catalog/dispatch.cpp; a keyword whose class has not registered behaves like a
// keyword without a row: nothing opens. A class name that is not in the table
// is refused at registration (the catalogue self-check test reports it).
//
// Life of a form: created by the first dispatch to its class, then kept until
// the dispatch object (the program) ends. Every dispatch to the class calls
// Show() and then SetupForDevice(). A dispatch never closes or hides another
// form.
//
// The selection the setup reads is wb.sel: VariantIndex, ParamString (through
// wb.sel.GetParam("vcc=")), TypeText, SelectedDevice, ExpectedId, ReadyText.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quilla {

struct Workbench;
class AlgorithmForm;

// The window side of the forms: the Qt program plugs one in (it creates the
// MDI child of a form the first time it is shown and raises it afterwards).
// Headless runs have none.
class FormHost {
public:
    virtual ~FormHost() = default;
    // Bring the form's window to the front, not modal; create it on first use.
    virtual void ShowForm(AlgorithmForm& form) = 0;
};

class AlgorithmForm {
public:
    virtual ~AlgorithmForm() = default;

    // Brings the form to the front without making it modal. The default asks
    // the form host; a form that needs more (refresh a field) overrides and
    // calls AlgorithmForm::Show().
    virtual void Show() {
        if (Host) Host->ShowForm(*this);
    }

    // Sets the form up for the current selection (wb.sel) and reports its own
    // state in its window. A form must check what it takes from the device line
    // here: a VariantIndex outside its table (or negative) never indexes the
    // table, and an invalid key value shows one message naming the key and
    // value; no supply is applied until a valid device is selected.
    virtual void SetupForDevice() = 0;
    // Called by the dispatch right after SetupForDevice: the form notes what
    // the setup left (the device's last image address in EndAddr).
    virtual void DeviceSetUp() {}

    // ---- for the catalogue self-check (no hardware, no messages) ------------
    // Number of rows of the form's own device table; -1 when the form has no
    // table indexed by VariantIndex (every variant is then accepted).
    virtual int VariantCount() const { return -1; }
    // The check SetupForDevice makes of the current selection (row number, key
    // values) without touching the programmer or showing anything: empty when
    // the line is valid, else the message naming the key and value.
    virtual std::string DeviceLineError() const { return {}; }
    // Forms that reach their chip through a design of their own read its
    // electronic ID themselves: the self-check runs that read for a '#' line
    // (the form set up for the line, its chip seated) and compares this many
    // bytes of wb.sel.LastReadId with ExpectedId. 0: the form's ID is the
    // selection dialog's " Detect MFG ID  " read.
    virtual int ReadIdForSelfCheck() { return 0; }

    // Set by the dispatch when it creates the form; null in headless runs.
    FormHost* Host = nullptr;
    // The registered class name ("TP27x"), set by the dispatch.
    std::string ClassName;
};

using FormFactory = std::function<std::unique_ptr<AlgorithmForm>(Workbench&)>;

// The classes that registered, by class name. The global registry is filled
// during static initialisation by QUILLA_FORM and read by the dispatch and the
// self-check; tests may build their own registry of stand-in forms.
class FormRegistry {
public:
    static FormRegistry& Global();

    // Returns false (and registers nothing) when the class is not named by any
    // row of the dispatch table, or registered twice.
    bool Add(const std::string& className, FormFactory factory);
    // Null when the class has not registered.
    const FormFactory* Lookup(const std::string& className) const;
    std::vector<std::string> Names() const;          // in registration order
    std::vector<std::string> RefusedNames() const;   // unknown or duplicate names

    // The same on the global registry.
    static bool Register(const std::string& className, FormFactory factory) {
        return Global().Add(className, std::move(factory));
    }
    static const FormFactory* Find(const std::string& className) { return Global().Lookup(className); }
    static std::vector<std::string> Classes() { return Global().Names(); }
    static std::vector<std::string> Refused() { return Global().RefusedNames(); }

private:
    std::vector<std::pair<std::string, FormFactory>> factories_;
    std::vector<std::string> refused_;
};

struct FormRegistrar {
    FormRegistrar(const char* className, FormFactory factory) {
        FormRegistry::Register(className, std::move(factory));
    }
};

}  // namespace quilla

#define QUILLA_FORM_CAT2(a, b) a##b
#define QUILLA_FORM_CAT(a, b) QUILLA_FORM_CAT2(a, b)
// One line per form class, at namespace scope in the class's .cpp file.
#define QUILLA_FORM(Class)                                                              \
    static const ::quilla::FormRegistrar QUILLA_FORM_CAT(quillaFormRegistrar_, Class){ \
        #Class, [](::quilla::Workbench& wb) -> std::unique_ptr<::quilla::AlgorithmForm> { \
            return std::make_unique<Class>(wb);                                         \
        }}
