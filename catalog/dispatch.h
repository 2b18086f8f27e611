// The keyword dispatch: turns the selection's parameter string into an open
// algorithm form. One FormDispatch per program (the selection dialog owns it);
// tests build their own on a fresh Workbench.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "catalog/form.h"

namespace quilla {

struct Workbench;

// One row of the dispatch table: a keyword and the form class it names.
struct DispatchRow {
    const char* Keyword;
    const char* ClassName;
};

// The dispatch table, in the order it is tested.
const std::vector<DispatchRow>& DispatchTable();
// True when `className` is named by a row of the table.
bool IsDispatchClass(const std::string& className);
// The class named by a keyword (whole, case-sensitive comparison); null when
// no row has it.
const char* ClassForKeyword(const std::string& keyword);

class FormDispatch {
public:
    explicit FormDispatch(Workbench& wb, const FormRegistry& registry = FormRegistry::Global())
        : wb_(wb), registry_(registry) {}
    FormDispatch(const FormDispatch&) = delete;
    FormDispatch& operator=(const FormDispatch&) = delete;

    // Derives DeviceKeyword, VariantIndex and ExpectedId from wb.sel.ParamString,
    // creates the form of every matching row that has registered (once), shows
    // it and sets it up, then sets the adapter line. Returns the form opened.
    // A parameter string that opens no form (WhyNoForm) changes nothing and
    // gives null: the keyword, variant, ID and adapter line of the device set
    // up before stay, since its form, still open, goes on reading them.
    AlgorithmForm* OpenAlgorithmForm();

    // Why `paramString` opens no form: "no parameters", no keyword, no variant
    // number after the keyword, or a keyword that names no form built into the
    // program. Empty when a form takes it (whether the form's own table has
    // the variant is the form's check, at its setup).
    std::string WhyNoForm(const std::string& paramString) const;

    // Before a chip is seated for the form of `paramString`: when that form is
    // of another class than the one set up last, what the programmer still
    // has on (supplies, clock, pin options, port mode) goes off now, not only
    // when the form is set up.
    void ReleaseBeforeOpening(const std::string& paramString);

    // Convenience for tests and tools: ParamString := `paramString`, dispatch.
    AlgorithmForm* Open(const std::string& paramString);

    // The live form of a class (the "object pointer"); null before its first dispatch.
    AlgorithmForm* Form(const std::string& className) const;
    template <class T>
    T* Get(const std::string& className) const {
        return dynamic_cast<T*>(Form(className));
    }
    std::size_t FormCount() const { return forms_.size(); }

    // The window side; forms created after it is set get it as their host.
    FormHost* Host = nullptr;

private:
    Workbench& wb_;
    const FormRegistry& registry_;
    std::map<std::string, std::unique_ptr<AlgorithmForm>> forms_;
    std::string lastSetUp_;  // the class set up last
};

}  // namespace quilla
