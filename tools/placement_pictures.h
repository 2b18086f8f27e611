// The placement pictures the forms show (data/Place and data/Place2): each
// file, its title, what sits on the socket and every part shown with it.
// tools/placement_pictures.cpp draws them from this table; the tests check
// that every device line showing a picture is one of its parts and that each
// title names the package its parts share.
#pragma once

#include <vector>

namespace quilla::place {

enum class Package { Dip, Plcc44, Qfp44 };

struct Picture {
    const char* file;
    // The picture's title: the package, after a name that begins every part
    // in `parts` (a trailing 'x' stands for any ending) where they share one.
    const char* title;
    Package package;                 // what sits on the socket: the part, or a board carrying it
    std::vector<const char*> parts;  // every part shown this way, by its device-list name (a DIP
                                     // picture's parts sit alike; a board's seats are unioned)
};

// Every picture name the forms pass to the placement dialog.
inline const std::vector<Picture>& Pictures() {
    static const std::vector<Picture> p = {
        {"atiny26.bmp", "ATtiny26 DIP20", Package::Dip, {"ATtiny26"}},
        // The high-voltage serial DIP8 parts.
        {"atiny12.bmp", "DIP8", Package::Dip,
         {"ATtiny12", "ATtiny11", "ATtiny15", "AT90S2323(12V)", "AT90S2343(12V)"}},
        {"16f630.bmp", "PIC DIP14", Package::Dip, {"PIC16F630", "PIC16F676", "PIC16C505"}},
        {"em78p153.bmp", "EM78P153 DIP14", Package::Dip, {"EM78P153"}},
        {"p89lpc93x.bmp", "P89LPC93x DIP28", Package::Dip, {"P89LPC932"}},
        // Shown by the serial P89LPC9xx form for its 20-pin parts.
        {"87lpc762.bmp", "P89LPC92x DIP20", Package::Dip, {"P89LPC922", "P89LPC921", "P89LPC920"}},
        // The 40-pin AVR parts and the PIC17C4x sit alike, turned round (the
        // ATmega64/128 board plugs into the same positions).
        {"at90s8535dip48.bmp", "DIP40", Package::Dip,
         {"AT90S8535", "AT90S4434", "ATmega16", "ATmega32", "ATmega64", "ATmega128", "ATmega163", "PIC17C42",
          "PIC17C43", "PIC17C44"}},
        {"p44.bmp", "PLCC44 adapter", Package::Plcc44, {"AT90S8515*P44", "ATmega161*P44", "ATmega162*P44"}},
        {"p44b.bmp", "PIC PLCC44 adapter", Package::Plcc44, {"PIC18F452*P44", "PIC16F877A*P44"}},
        {"qfp44.bmp", "TQFP44 adapter", Package::Qfp44,
         {"ATmega16*Q44", "AT90S8515*Q44", "ATmega32*Q44", "AT90S8535*Q44", "ATmega161*Q44", "ATmega162*Q44"}},
    };
    return p;
}

}  // namespace quilla::place
