#pragma once

class QLabel;
class QTextEdit;
class QWidget;

// What the input and output cards share: the rounded field card, a transparent text area in the label
// colour with a faint placeholder over it, and the text's own height.
namespace TextCard {

// Paints the card on `card`, inside its paint event.
void paint(QWidget* card);
// Gives the card its shadow and keeps the text and placeholder colours with the appearance.
void style(QWidget* card, QTextEdit* text, QLabel* placeholder);
// The height the text needs, clamped to [minimum, maximum].
int textHeight(const QTextEdit* text, int minimum, int maximum);

} // namespace TextCard
