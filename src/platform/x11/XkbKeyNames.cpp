#include "platform/x11/XkbKeyNames.h"

#include <array>
#include <string_view>

namespace {

struct Entry {
    int keyCode;
    std::string_view name;
};

// Positions follow the USB usage each virtual key code stands for: the ISO key beside the left Shift
// is <LSGT>, Help sits where a PC keyboard has Insert, F13 to F20 are the real F13 to F20.
constexpr std::array kEntries = {
    Entry{0, "AC01"},   Entry{1, "AC02"},   Entry{2, "AC03"},   Entry{3, "AC04"},   Entry{4, "AC06"},
    Entry{5, "AC05"},   Entry{6, "AB01"},   Entry{7, "AB02"},   Entry{8, "AB03"},   Entry{9, "AB04"},
    Entry{10, "LSGT"},  Entry{11, "AB05"},  Entry{12, "AD01"},  Entry{13, "AD02"},  Entry{14, "AD03"},
    Entry{15, "AD04"},  Entry{16, "AD06"},  Entry{17, "AD05"},  Entry{18, "AE01"},  Entry{19, "AE02"},
    Entry{20, "AE03"},  Entry{21, "AE04"},  Entry{22, "AE06"},  Entry{23, "AE05"},  Entry{24, "AE12"},
    Entry{25, "AE09"},  Entry{26, "AE07"},  Entry{27, "AE11"},  Entry{28, "AE08"},  Entry{29, "AE10"},
    Entry{30, "AD12"},  Entry{31, "AD09"},  Entry{32, "AD07"},  Entry{33, "AD11"},  Entry{34, "AD08"},
    Entry{35, "AD10"},  Entry{36, "RTRN"},  Entry{37, "AC09"},  Entry{38, "AC07"},  Entry{39, "AC11"},
    Entry{40, "AC08"},  Entry{41, "AC10"},  Entry{42, "BKSL"},  Entry{43, "AB08"},  Entry{44, "AB10"},
    Entry{45, "AB06"},  Entry{46, "AB07"},  Entry{47, "AB09"},  Entry{48, "TAB"},   Entry{49, "SPCE"},
    Entry{50, "TLDE"},  Entry{51, "BKSP"},  Entry{53, "ESC"},   Entry{54, "RWIN"},  Entry{55, "LWIN"},
    Entry{56, "LFSH"},  Entry{57, "CAPS"},  Entry{58, "LALT"},  Entry{59, "LCTL"},  Entry{60, "RTSH"},
    Entry{61, "RALT"},  Entry{62, "RCTL"},  Entry{64, "FK17"},  Entry{65, "KPDL"},  Entry{67, "KPMU"},
    Entry{69, "KPAD"},  Entry{71, "NMLK"},  Entry{72, "VOL+"},  Entry{73, "VOL-"},  Entry{74, "MUTE"},
    Entry{75, "KPDV"},  Entry{76, "KPEN"},  Entry{78, "KPSU"},  Entry{79, "FK18"},  Entry{80, "FK19"},
    Entry{81, "KPEQ"},  Entry{82, "KP0"},   Entry{83, "KP1"},   Entry{84, "KP2"},   Entry{85, "KP3"},
    Entry{86, "KP4"},   Entry{87, "KP5"},   Entry{88, "KP6"},   Entry{89, "KP7"},   Entry{90, "FK20"},
    Entry{91, "KP8"},   Entry{92, "KP9"},   Entry{93, "AE13"},  Entry{94, "AB11"},  Entry{95, "JPCM"},
    Entry{96, "FK05"},  Entry{97, "FK06"},  Entry{98, "FK07"},  Entry{99, "FK03"},  Entry{100, "FK08"},
    Entry{101, "FK09"}, Entry{103, "FK11"}, Entry{105, "FK13"}, Entry{106, "FK16"}, Entry{107, "FK14"},
    Entry{109, "FK10"}, Entry{110, "COMP"}, Entry{111, "FK12"}, Entry{113, "FK15"}, Entry{114, "INS"},
    Entry{115, "HOME"}, Entry{116, "PGUP"}, Entry{117, "DELE"}, Entry{118, "FK04"}, Entry{119, "END"},
    Entry{120, "FK02"}, Entry{121, "PGDN"}, Entry{122, "FK01"}, Entry{123, "LEFT"}, Entry{124, "RGHT"},
    Entry{125, "DOWN"}, Entry{126, "UP"},
};

} // namespace

namespace XkbKeyNames {

QByteArray nameForKeyCode(int keyCode) {
    for (const Entry& entry : kEntries) {
        if (entry.keyCode == keyCode)
            return QByteArray(entry.name.data(), qsizetype(entry.name.size()));
    }
    return {};
}

std::optional<int> keyCodeForName(const QByteArray& name) {
    const std::string_view wanted(name.constData(), size_t(name.size()));
    for (const Entry& entry : kEntries) {
        if (entry.name == wanted)
            return entry.keyCode;
    }
    return std::nullopt;
}

} // namespace XkbKeyNames
