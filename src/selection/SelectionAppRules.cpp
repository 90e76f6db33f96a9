#include "selection/SelectionAppRules.h"

#include <array>

namespace {

struct Entry {
    const char* bundleIdentifier;
    enum Kind { TerminalCopy, NoFallback } kind;
};

// Terminal emulators read Ctrl+C as an interrupt of the program they run; they copy with Ctrl+Shift+C.
// Terminals without any copy key, editors where Ctrl+C starts a command and file managers (which would
// copy files) get no synthetic copy at all. All of them set PRIMARY, so the fallback is rarely missed.
constexpr std::array kEntries{
    Entry{"org.gnome.Terminal", Entry::TerminalCopy},
    Entry{"gnome-terminal", Entry::TerminalCopy},
    Entry{"gnome-terminal-server", Entry::TerminalCopy},
    Entry{"org.gnome.Console", Entry::TerminalCopy},
    Entry{"kgx", Entry::TerminalCopy},
    Entry{"org.kde.konsole", Entry::TerminalCopy},
    Entry{"konsole", Entry::TerminalCopy},
    Entry{"xfce4-terminal", Entry::TerminalCopy},
    Entry{"mate-terminal", Entry::TerminalCopy},
    Entry{"lxterminal", Entry::TerminalCopy},
    Entry{"qterminal", Entry::TerminalCopy},
    Entry{"terminator", Entry::TerminalCopy},
    Entry{"com.gexperts.Tilix", Entry::TerminalCopy},
    Entry{"tilix", Entry::TerminalCopy},
    Entry{"Alacritty", Entry::TerminalCopy},
    Entry{"kitty", Entry::TerminalCopy},
    Entry{"org.wezfurlong.wezterm", Entry::TerminalCopy},
    Entry{"foot", Entry::TerminalCopy},
    Entry{"guake", Entry::TerminalCopy},
    Entry{"tilda", Entry::TerminalCopy},
    Entry{"sakura", Entry::TerminalCopy},
    Entry{"terminology", Entry::TerminalCopy},
    // A window matched to a desktop entry is known by the entry's id, which for these is not their class.
    Entry{"xterm", Entry::NoFallback},
    Entry{"debian-xterm", Entry::NoFallback},
    Entry{"uxterm", Entry::NoFallback},
    Entry{"debian-uxterm", Entry::NoFallback},
    Entry{"urxvt", Entry::NoFallback},
    Entry{"rxvt-unicode", Entry::NoFallback},
    Entry{"rxvt", Entry::NoFallback},
    Entry{"st-256color", Entry::NoFallback},
    Entry{"emacs", Entry::NoFallback},
    Entry{"gvim", Entry::NoFallback},
    Entry{"org.gnome.Nautilus", Entry::NoFallback},
    Entry{"nemo", Entry::NoFallback},
    Entry{"caja", Entry::NoFallback},
    Entry{"thunar", Entry::NoFallback},
    Entry{"pcmanfm", Entry::NoFallback},
    Entry{"org.kde.dolphin", Entry::NoFallback},
};

} // namespace

SelectionAppRule SelectionAppRules::ruleFor(const QString& bundleIdentifier) {
    SelectionAppRule rule;
    for (const Entry& entry : kEntries) {
        if (bundleIdentifier.compare(QLatin1String(entry.bundleIdentifier), Qt::CaseInsensitive) != 0)
            continue;
        if (entry.kind == Entry::TerminalCopy)
            rule.copyModifiers = Qt::ControlModifier | Qt::ShiftModifier;
        else
            rule.allowsClipboardFallback = false;
        break;
    }
    return rule;
}
