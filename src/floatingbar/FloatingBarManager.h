#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>

class FloatingBarWindowController;

// Shows the floating bar for each selection, one bar taken over by the next selection, and its
// translate click opens the translation popover beside it.
class FloatingBarManager : public QObject {
    Q_OBJECT
public:
    static FloatingBarManager& shared();

    explicit FloatingBarManager(QObject* parent = nullptr);
    ~FloatingBarManager() override;

    // The bar's controller; null before the first selection and after the bar was switched off.
    FloatingBarWindowController* floatingBar() const { return m_floatingBar; }

    void showFloatingBar(const QString& text, const QString& detectedLanguage, bool flag, const QRect& at);
    // Hides the bar and lets its window and click monitor go; the next selection makes them anew.
    void releaseFloatingBar();

    // Source language of a translation into `targetLanguage` of text detected as `detectedLanguage`.
    static QString sourceLanguageFor(const QString& detectedLanguage, const QString& targetLanguage);

private:
    QPointer<FloatingBarWindowController> m_floatingBar;
};
