#include "menubar/translator/TranslatorActionBar.h"

#include "menubar/history/FavoritesManager.h"
#include "menubar/translator/ActionBarButton.h"
#include "menubar/translator/AttachedPopover.h"
#include "menubar/translator/RewriteButton.h"
#include "menubar/translator/RewriteOptionsView.h"
#include "platform/DebugLog.h"
#include "platform/Pasteboard.h"
#include "platform/Platform.h"
#include "services/TTSSource.h"
#include "services/TextToSpeechService.h"
#include "services/TranslationManagerService.h"
#include "services/TranslationSession.h"
#include "ui/Color.h"
#include "ui/StateReport.h"

#include <QHBoxLayout>

#include <utility>

namespace {

const QString kTag = QStringLiteral("TranslatorActionBar");
const QSize kButtonFrame(50, 36);

} // namespace

bool TranslatorActionBar::offersRewrite(TranslationService service) {
    return service == TranslationService::ChatGPT || service == TranslationService::Gemini;
}

TranslatorActionBar::TranslatorActionBar(QWidget* parent)
    : TranslatorActionBar(FavoritesManager::shared(), parent) {}

TranslatorActionBar::TranslatorActionBar(FavoritesManager& favorites, QWidget* parent)
    : QWidget(parent)
    , m_favorites(favorites)
    , m_swapStep(this) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);

    m_copyButton = new ActionBarButton(QStringLiteral("doc.on.doc"), kButtonFrame);
    m_favoriteButton = new ActionBarButton(QStringLiteral("bookmark"), kButtonFrame);
    m_listenButton = new ActionBarButton(QStringLiteral("speaker.wave.2.fill"), kButtonFrame);
    m_rewriteButton = new RewriteButton;
    row->addWidget(m_copyButton);
    row->addWidget(m_favoriteButton);
    row->addWidget(m_listenButton);
    row->addStretch(1);
    row->addWidget(m_rewriteButton);
    StateReport::followPlace(m_copyButton, "copy button");
    StateReport::followPlace(m_listenButton, "listen button");
    m_rewriteOptions = new AttachedPopover(m_rewriteButton);

    connect(m_copyButton, &QAbstractButton::clicked, this, &TranslatorActionBar::copyTranslation);
    connect(m_favoriteButton, &QAbstractButton::clicked, this, &TranslatorActionBar::toggleFavorite);
    connect(m_listenButton, &QAbstractButton::clicked, this, &TranslatorActionBar::toggleSpeech);
    connect(m_rewriteButton, &QAbstractButton::clicked, this, &TranslatorActionBar::openRewriteOptions);

    TextToSpeechService& tts = TextToSpeechService::shared();
    connect(&tts, &TextToSpeechService::isPlayingChanged, this, &TranslatorActionBar::refreshListenSymbol);
    connect(&tts, &TextToSpeechService::activeSourceChanged, this, &TranslatorActionBar::refreshListenSymbol);
    connect(&m_favorites, &FavoritesManager::favoritesChanged, this,
            &TranslatorActionBar::refreshFavoriteSymbol);
    connect(&m_favorites, &FavoritesManager::saveFinished, this, &TranslatorActionBar::favoriteSaveFinished);

    m_fade.setDuration(fadeMs);
    m_fade.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        // Setting the next fade's end values on the stopped animation reports them at once; only a
        // running fade changes the opacity.
        if (m_fade.state() == QAbstractAnimation::Running)
            setOpacity(value.toReal());
    });
    refresh();
}

TranslatorActionBar::~TranslatorActionBar() {
    if (m_request)
        TranslationManagerService::shared().cancel(m_request);
}

void TranslatorActionBar::setContext(const Context& context) {
    m_context = context;
    refresh();
}

void TranslatorActionBar::refresh() {
    m_favoriteButton->setVisible(!m_context.inputText.isEmpty());
    m_rewriteButton->setVisible(offersRewrite(m_context.selectedService));
    refreshFavoriteSymbol();
    refreshListenSymbol();
}

bool TranslatorActionBar::isFavorite() const {
    return m_favorites.isFavorite(m_context.inputText, m_context.translatedText) &&
           !m_favorites.isUnsaved(m_context.inputText, m_context.translatedText);
}

void TranslatorActionBar::refreshFavoriteSymbol() {
    const bool favorite = isFavorite();
    m_favoriteButton->setSymbol(favorite ? QStringLiteral("bookmark.fill") : QStringLiteral("bookmark"));
    m_favoriteButton->setSymbolColor(favorite ? Symbol::ColorProvider(&Color::accentColor)
                                              : Symbol::ColorProvider());
}

void TranslatorActionBar::refreshListenSymbol() {
    const bool speaking = TextToSpeechService::shared().isPlaying(TTSSource::Output);
    m_listenButton->setSymbol(speaking ? QStringLiteral("stop.fill") : QStringLiteral("speaker.wave.2.fill"));
}

void TranslatorActionBar::copyTranslation() {
    Pasteboard& pasteboard = platform().pasteboard();
    pasteboard.clearContents();
    pasteboard.setString(m_context.translatedText);
    Q_EMIT toastRequested(tr("Copied"), QStringLiteral("doc.on.doc"));
}

void TranslatorActionBar::toggleFavorite() {
    const TranslationHistoryItem candidate =
        TranslationHistoryItem::make(m_context.inputText, m_context.translatedText, m_context.sourceLanguage,
                                     m_context.targetLanguage, m_context.selectedService);
    if (isFavorite()) {
        m_favorites.removeFavorite(candidate);
        Q_EMIT toastRequested(tr("Removed"), QStringLiteral("bookmark"));
    } else if (m_favorites.isFavorite(candidate)) {
        // Held but not on the disk: saving again is what the click asks for.
        m_awaitingSave = true;
        m_favorites.saveFavorites();
    } else if (m_favorites.addFavorite(candidate)) {
        // "Added" only once it is on the disk.
        m_awaitingSave = true;
    } else {
        // The list was still being read, so the button showed the saved pair as not saved.
        Q_EMIT toastRequested(tr("Already saved"), QStringLiteral("bookmark.fill"));
    }
}

void TranslatorActionBar::favoriteSaveFinished(bool saved) {
    refreshFavoriteSymbol();
    if (!std::exchange(m_awaitingSave, false))
        return;
    if (saved)
        Q_EMIT toastRequested(tr("Added"), QStringLiteral("bookmark.fill"));
    else
        Q_EMIT toastRequested(tr("Not saved"), QStringLiteral("bookmark"));
}

void TranslatorActionBar::toggleSpeech() {
    TranslationSession::toggleSpeech(TTSSource::Output, m_context.translatedText, m_context.targetLanguage.code,
                                     this);
}

RewriteOptionsView* TranslatorActionBar::rewriteOptionsView() const {
    return qobject_cast<RewriteOptionsView*>(m_rewriteOptions->content());
}

void TranslatorActionBar::openRewriteOptions() {
    m_rewriteOptions->show(
        [this] {
            auto* view = new RewriteOptionsView([this](RewriteStyle style) {
                m_rewriteOptions->close();
                rewriteTranslation(style);
            });
            view->setSelectedStyle(m_rewriteStyle);
            connect(view, &RewriteOptionsView::selectedStyleChanged, this,
                    [this](RewriteStyle style) { m_rewriteStyle = style; });
            return view;
        },
        PopoverWindow::Edge::Bottom);
}

void TranslatorActionBar::rewriteTranslation(RewriteStyle style) {
    if (m_context.translatedText.isEmpty() || m_isRewriting)
        return;
    setRewriting(true);
    Q_EMIT rewriteStarted();
    const quint64 generation = m_outputGeneration;
    const TranslationService rewriter = m_context.selectedService;
    using R = Result<RewriteResponse, TranslationError>;
    m_request = TranslationManagerService::shared().rewriteText(
        m_context.translatedText, rawValue(style), rawValue(rewriter), triggerSource,
        [this, generation, rewriter](R result) {
            m_request = 0;
            if (generation != m_outputGeneration) {
                debugLog(kTag, QStringLiteral("⏭️ Eski çıktının yeniden yazımı bırakıldı"));
                return;
            }
            setRewriting(false);
            if (!result) {
                debugLog(kTag,
                         QStringLiteral("❌ Yeniden yazma hatası: ") + result.error().localizedDescription());
                Q_EMIT rewriteFailed(tr("Rewrite failed: ") + result.error().localizedDescription());
                return;
            }
            debugLog(kTag, QStringLiteral("✅ Metin yeniden yazıldı"));
            applyRewrite(result.value().rewritten, rewriter);
        },
        this);
}

void TranslatorActionBar::applyRewrite(const QString& rewritten, TranslationService rewriter) {
    fadeTo(0.0);
    m_swapStep.schedule(fadeMs, [this, rewritten, rewriter] {
        Q_EMIT translatedTextRewritten(rewritten, rewriter);
        fadeTo(1.0);
    });
}

void TranslatorActionBar::outputReplaced() {
    ++m_outputGeneration;
    if (m_request) {
        TranslationManagerService::shared().cancel(m_request);
        m_request = 0;
    }
    setRewriting(false);
    m_swapStep.cancel();
    m_fade.stop();
    setOpacity(1.0);
}

void TranslatorActionBar::setRewriting(bool rewriting) {
    if (rewriting == m_isRewriting)
        return;
    m_isRewriting = rewriting;
    m_rewriteButton->setRewriting(rewriting);
    Q_EMIT isRewritingChanged(rewriting);
}

void TranslatorActionBar::fadeTo(qreal opacity) {
    m_fade.stop();
    m_fade.setStartValue(m_opacity);
    m_fade.setEndValue(opacity);
    m_fade.start();
}

void TranslatorActionBar::setOpacity(qreal opacity) {
    if (qFuzzyCompare(opacity, m_opacity))
        return;
    m_opacity = opacity;
    Q_EMIT rewriteTextOpacityChanged(opacity);
}
