#include "settings/AboutTabView.h"

#include "platform/Platform.h"
#include "platform/Workspace.h"
#include "services/AppVersion.h"
#include "settings/SettingsStyle.h"
#include "settings/SymbolTextButton.h"
#include "ui/Color.h"
#include "ui/ImageAsset.h"
#include "ui/Theme.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QVBoxLayout>

namespace {

QUrl websitePage(const QString& path) {
    QString base = QStringLiteral(QUILLORA_WEBSITE_BASE_URL);
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return QUrl(base + path);
}

} // namespace

QList<AboutTabView::Link> AboutTabView::links() {
    return {
        {QStringLiteral("Website"), QStringLiteral("globe"), false, websitePage(QStringLiteral("/"))},
        {QStringLiteral("X (Twitter)"), QStringLiteral("TwitterIcon"), true,
         QUrl(QStringLiteral(QUILLORA_X_PROFILE_URL))},
        {QStringLiteral("Privacy Policy"), QStringLiteral("lock.fill"), false,
         websitePage(QStringLiteral("/privacy"))},
        {QStringLiteral("Terms of Service"), QStringLiteral("doc.text.fill"), false,
         websitePage(QStringLiteral("/terms"))},
        {QStringLiteral("Support"), QStringLiteral("questionmark.circle.fill"), false,
         QUrl(QStringLiteral("mailto:") + QStringLiteral(QUILLORA_SUPPORT_EMAIL))},
    };
}

AboutTabView::AboutTabView(QWidget* parent)
    : QWidget(parent) {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 8, 8, 8);
    root->setSpacing(30);

    auto* icon = new QLabel(this);
    icon->setAlignment(Qt::AlignCenter);
    icon->setPixmap(ImageAsset::pixmap(QStringLiteral("AppIcon"), QSize(80, 80), devicePixelRatioF()));
    root->addWidget(icon, 0, Qt::AlignHCenter);

    auto* titleBlock = new QVBoxLayout;
    titleBlock->setSpacing(10);
    m_name = new QLabel(QStringLiteral("Quillora"), this);
    m_name->setFont(SettingsStyle::font(28, QFont::Bold));
    SettingsStyle::followTextColor(m_name, &SettingsStyle::titleColor);
    titleBlock->addWidget(m_name, 0, Qt::AlignHCenter);
    m_version = new QLabel(QStringLiteral("Version ") + getAppVersion(), this);
    m_version->setFont(SettingsStyle::font(16));
    SettingsStyle::followTextColor(m_version, &Color::secondary);
    titleBlock->addWidget(m_version, 0, Qt::AlignHCenter);
    root->addLayout(titleBlock);

    auto* divider = new QFrame(this);
    divider->setFixedHeight(1);
    divider->setAutoFillBackground(true);
    Theme::followAppearance(divider, [divider] {
        QPalette palette = divider->palette();
        palette.setColor(QPalette::Window, Theme::border());
        divider->setPalette(palette);
    });
    auto* dividerPadding = new QVBoxLayout;
    dividerPadding->setContentsMargins(0, 10, 0, 10);
    dividerPadding->addWidget(divider);
    root->addLayout(dividerPadding);

    m_description = new QLabel(this);
    m_description->setTextFormat(Qt::RichText);
    m_description->setWordWrap(true);
    m_description->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_description->setFont(SettingsStyle::font(16));
    m_description->setText(
        QStringLiteral("<p style=\"line-height: 130%\">%1</p>")
            .arg(QStringLiteral(
                     "Quillora is a powerful translation tool that helps you translate text from any "
                     "application with just a few clicks. Select text in any application and "
                     "instantly see translations.")
                     .toHtmlEscaped()));
    m_description->setContentsMargins(40, 0, 40, 0);
    SettingsStyle::followTextColor(m_description, [] {
        return Theme::dark() ? Color::withOpacity(Qt::white, 0.9) : Color::withOpacity(Qt::black, 0.8);
    });
    root->addWidget(m_description);

    root->addStretch(1);

    auto* linkRow = new QHBoxLayout;
    linkRow->setSpacing(30);
    linkRow->setContentsMargins(0, 0, 0, 20);
    linkRow->addStretch(1);
    for (const Link& link : links()) {
        auto* button =
            new SymbolTextButton(link.isImage ? QString() : link.icon, link.title,
                                 SettingsStyle::font(14, QFont::Medium), 14, &SettingsStyle::blue, this);
        button->setSpacing(6);
        if (link.isImage)
            button->setImage(ImageAsset::pixmap(link.icon, QSize(16, 16), devicePixelRatioF()));
        button->setToolTip(link.destination.toString());
        const QUrl destination = link.destination;
        connect(button, &QAbstractButton::clicked, this, [this, destination] { open(destination); });
        linkRow->addWidget(button);
        m_links.append(button);
    }
    linkRow->addStretch(1);
    root->addLayout(linkRow);
}

void AboutTabView::open(const QUrl& url) {
    if (!hasPlatform()) {
        reportUnopened(url);
        return;
    }
    platform().workspace().openUrl(url, [self = QPointer<AboutTabView>(this), url](bool opened) {
        if (self && !opened)
            self->reportUnopened(url);
    });
}

void AboutTabView::reportUnopened(const QUrl& url) {
    // No browser or mail client took it: say so, with the address to use by hand.
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Could not open the link"),
                                QStringLiteral("No application could open %1.").arg(url.toString()),
                                QMessageBox::Ok, window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->open();
}
