#include "app/ui/startfile.h"

#include "app/ui/guard.h"
#include "app/ui/mainform.h"
#include "app/ui/qtprompts.h"

namespace quilla {

void LoadStartFile(TMainForm& main, QtPrompts& prompts, const std::string& file, const OtherFormats& other) {
    struct Owned {
        QtPrompts& p;
        QWidget* before;
        ~Owned() { p.Owner = before; }
    } owned{prompts, prompts.Owner};
    prompts.Owner = &main;
    Guarded(prompts, [&] { LoadNamedFile(main.wb(), file, other); });
}

}  // namespace quilla
