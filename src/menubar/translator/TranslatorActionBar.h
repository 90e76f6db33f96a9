#pragma once

#include "platform/MainQueue.h"
#include "services/Language.h"
#include "services/RewriteStyle.h"
#include "services/TranslationService.h"
#include "services/WebApiClient.h"

#include <QVariantAnimation>
#include <QWidget>

class ActionBarButton;
class AttachedPopover;
class FavoritesManager;
class RewriteButton;
class RewriteOptionsView;

// The row of actions under the translator's output: copy, favorite (only with an input), listen, and
// at the trailing end rewrite with its style menu (only for the providers that rewrite). It acts on the
// output its view hands it and tells the view what changes.
//
// A rewrite replaces the output it was made from: the output fades out, the rewritten text is handed
// to the view (translatedTextRewritten) and fades in. A newer output from elsewhere (outputReplaced())
// drops an outstanding rewrite, its answer and its pending text swap.
class TranslatorActionBar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(qreal rewriteTextOpacity READ rewriteTextOpacity NOTIFY rewriteTextOpacityChanged)
    Q_PROPERTY(bool isRewriting READ isRewriting NOTIFY isRewritingChanged)
public:
    // What the bar acts on: the view's current state.
    struct Context {
        QString inputText;
        QString translatedText;
        Language sourceLanguage;
        Language targetLanguage;
        TranslationService selectedService = TranslationService::Google;
    };

    static constexpr int fadeMs = 300;
    static constexpr int toastSeconds = 2;
    static inline const QString triggerSource = QStringLiteral("menu");

    static bool offersRewrite(TranslationService service);

    explicit TranslatorActionBar(QWidget* parent = nullptr);
    // With a favorites store other than the shared one (tests).
    explicit TranslatorActionBar(FavoritesManager& favorites, QWidget* parent = nullptr);
    ~TranslatorActionBar() override;

    const Context& context() const { return m_context; }
    void setContext(const Context& context);
    // A newer output is on screen than the one a rewrite under way or fading was made from.
    void outputReplaced();

    void copyTranslation();
    // Saves the shown pair as a favorite, or removes it when it is one; the icon follows the store. A
    // pair found saved once the list has been read is left as it is. "Added" is told, and the pair
    // shown saved, once the list is on the disk; a pair held but not written is saved again.
    void toggleFavorite();
    void toggleSpeech();
    void openRewriteOptions();
    void rewriteTranslation(RewriteStyle style);

    // The shown pair of texts is saved as a favorite, on the disk.
    bool isFavorite() const;
    bool isRewriting() const { return m_isRewriting; }
    // The rewritten text is waiting for the old one to fade out.
    bool isSwapPending() const { return m_swapStep.isActive(); }
    RewriteStyle rewriteStyle() const { return m_rewriteStyle; }
    qreal rewriteTextOpacity() const { return m_opacity; }

    ActionBarButton* copyButton() const { return m_copyButton; }
    ActionBarButton* favoriteButton() const { return m_favoriteButton; }
    ActionBarButton* listenButton() const { return m_listenButton; }
    RewriteButton* rewriteButton() const { return m_rewriteButton; }
    AttachedPopover* rewriteOptions() const { return m_rewriteOptions; }
    RewriteOptionsView* rewriteOptionsView() const;

Q_SIGNALS:
    // A rewrite started: the view clears its banner.
    void rewriteStarted();
    // "Rewrite failed: " and the error's description, for the view's error banner.
    void rewriteFailed(const QString& message);
    // The output becomes `text`, rewritten by `rewriter` (the provider the rewrite was sent to); this is
    // no newer output in the sense of outputReplaced().
    void translatedTextRewritten(const QString& text, TranslationService rewriter);
    void rewriteTextOpacityChanged(qreal opacity);
    void isRewritingChanged(bool rewriting);
    // A short confirmation for the view's toast: white, toastSeconds long.
    void toastRequested(const QString& message, const QString& icon);

private:
    void refresh();
    void refreshFavoriteSymbol();
    void refreshListenSymbol();
    void favoriteSaveFinished(bool saved);
    void setRewriting(bool rewriting);
    void fadeTo(qreal opacity);
    void setOpacity(qreal opacity);
    void applyRewrite(const QString& rewritten, TranslationService rewriter);

    FavoritesManager& m_favorites;
    Context m_context;
    bool m_isRewriting = false;
    // A click's favorite is on its way to the disk; its outcome is told.
    bool m_awaitingSave = false;
    RewriteStyle m_rewriteStyle = RewriteStyle::Regenerate;
    qreal m_opacity = 1.0;
    // Each newer output starts a generation; rewrite answers of an older one are dropped.
    quint64 m_outputGeneration = 0;
    RequestId m_request = 0;
    QVariantAnimation m_fade;
    MainQueueTimer m_swapStep;

    ActionBarButton* m_copyButton = nullptr;
    ActionBarButton* m_favoriteButton = nullptr;
    ActionBarButton* m_listenButton = nullptr;
    RewriteButton* m_rewriteButton = nullptr;
    AttachedPopover* m_rewriteOptions = nullptr;
};
