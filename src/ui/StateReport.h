#pragma once

#include <QRect>
#include <optional>

class QByteArray;
class QWidget;

// A line "quillora: <state>" on standard output when QUILLORA_REPORT_STATE is set in the environment:
// how a program that started Quillora (the end-to-end tests, a session script) learns how far it got,
// in every build. Without the variable it writes nothing.
namespace StateReport {

// The start-up sequence has run, the permission gate included.
inline constexpr const char* launched = "launched";
// The floating bar, the selection monitor and the hot keys are in place.
inline constexpr const char* ready = "ready";

bool isWanted();
void report(const char* state);

// Reports where `widget` is on the screen, "<name> at <x> <y> <width> <height>" (its part a scrolled view
// does not cut off, in the application's units), whenever it is painted
// somewhere else than last reported, and "<name> hidden" when it hides: a control is painted only once
// laid out, so a program driving the pointer learns where to click without guessing the layout.
void followPlace(QWidget* widget, const QByteArray& name);

// Where `widget` shows on the screen, as followPlace() reports it; none while it is hidden, or while its
// window is not where the toolkit believes, as the window server has it (a move still on its way, or a
// window manager's placing not heard of yet): a click sent to that belief would land in another window.
std::optional<QRect> shownPlace(QWidget* widget);

} // namespace StateReport
