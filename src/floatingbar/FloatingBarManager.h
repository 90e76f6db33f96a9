#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>

class FloatingBarWindowController;

// Shows one floating bar per selection: a new bar replaces the previous one, and its translate click
// opens the translation popover beside it.
class FloatingBarManager : public QObject {
    Q_OBJECT
public:
    static FloatingBarManager& shared();

    explicit FloatingBarManager(QObject* parent = nullptr);
    ~FloatingBarManager() override;

    // The current bar's controller; null before the first selection.
    FloatingBarWindowController* floatingBar() const { return m_floatingBar; }

    void showFloatingBar(const QString& text, const QString& detectedLanguage, bool flag, const QRect& at);

    // Source language of a translation into `targetLanguage` of text detected as `detectedLanguage`.
    static QString sourceLanguageFor(const QString& detectedLanguage, const QString& targetLanguage);

private:
    QPointer<FloatingBarWindowController> m_floatingBar;
};
