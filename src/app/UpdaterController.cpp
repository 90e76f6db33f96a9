#include "app/UpdaterController.h"

#include "platform/Platform.h"
#include "platform/Workspace.h"
#include "ui/Theme.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <cmath>

namespace {

constexpr int widestText = 500;

// A message box takes its width from its short main text and wraps the sentence under it to that width,
// a word or two a line. The sentence's label asks for the width of its longest line instead (up to a
// limit; longer lines wrap), which also leaves the title room.
void fitToInformativeText(QMessageBox* box) {
    auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    if (!label)
        return;
    QTextDocument document;
    document.setDefaultFont(label->font());
    document.setDocumentMargin(0);
    if (label->textFormat() == Qt::PlainText || !Qt::mightBeRichText(label->text()))
        document.setPlainText(label->text());
    else
        document.setHtml(label->text());
    int limit = widestText;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        limit = std::min(limit, screen->availableGeometry().width() / 2);
    label->setMinimumWidth(std::min(limit, int(std::ceil(document.idealWidth())) + 2 * label->margin()));
}

} // namespace

UpdaterController::UpdaterController(Updater::FeedUrlProvider feedUrl, QString currentVersion,
                                     QObject* parent)
    : QObject(parent)
    , m_updater(std::move(feedUrl), currentVersion) {
    m_updater.start();
    connect(&m_updater, &Updater::checkFinished, this, &UpdaterController::present);
}

void UpdaterController::checkForUpdates() {
    m_updater.checkForUpdates();
    if (m_updater.isChecking())
        showProgress();
}

void UpdaterController::showProgress() {
    if (!m_progress) {
        // The answer of an earlier check gives way to the new one.
        if (m_alert)
            m_alert->close();
        auto* progress = new QProgressDialog;
        progress->setAttribute(Qt::WA_DeleteOnClose);
        progress->setObjectName(QStringLiteral("UpdateProgress"));
        progress->setWindowTitle(QStringLiteral("Software Update"));
        progress->setLabelText(QStringLiteral("Checking for updates…"));
        // No steps to count: a busy bar.
        progress->setRange(0, 0);
        progress->setMinimumDuration(0);
        progress->setAutoReset(false);
        progress->setAutoClose(false);
        progress->setMinimumWidth(320);
        // Cancel, Escape and closing the window all end the check.
        connect(progress, &QProgressDialog::canceled, &m_updater, &Updater::cancel);
        m_progress = progress;
    }
    m_progress->setWindowState(m_progress->windowState() & ~Qt::WindowMinimized);
    m_progress->show();
    m_progress->raise();
    m_progress->activateWindow();
}

void UpdaterController::present(const Updater::CheckResult& result) {
    if (QProgressDialog* progress = m_progress) {
        m_progress = nullptr;
        progress->disconnect(&m_updater);
        progress->close();
    }
    if (result.outcome == Updater::Outcome::Cancelled ||
        (result.outcome != Updater::Outcome::UpdateFound && !result.userInitiated))
        return;
    if (m_alert)
        m_alert->close();

    auto* box = new QMessageBox;
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("UpdateAlert"));
    box->setWindowTitle(QStringLiteral("Software Update"));
    switch (result.outcome) {
    case Updater::Outcome::UpdateFound: {
        box->setIcon(QMessageBox::Information);
        box->setText(QStringLiteral("A new version of Quillora is available!"));
        QString details = QStringLiteral("Quillora %1 is now available. Would you like to download it now?")
                              .arg(result.item.displayVersion().toHtmlEscaped());
        // The link in the accent colour, which reads on a dark dialog as on a light one.
        if (!result.item.releaseNotesLink.isEmpty())
            details += QStringLiteral("<br><br><a href=\"%1\" style=\"color: %2\">Release notes</a>")
                           .arg(result.item.releaseNotesLink.toString(QUrl::FullyEncoded).toHtmlEscaped(),
                                Theme::accent().name());
        box->setTextFormat(Qt::RichText);
        box->setInformativeText(details);
        box->setTextInteractionFlags(Qt::TextBrowserInteraction);
        QPushButton* download = box->addButton(QStringLiteral("Download"), QMessageBox::AcceptRole);
        box->addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
        box->setDefaultButton(download);
        const QUrl page = result.item.downloadUrl;
        connect(download, &QPushButton::clicked, this, [this, page] {
            if (!hasPlatform())
                return reportUnopened(page);
            platform().workspace().openUrl(page,
                                           [self = QPointer<UpdaterController>(this), page](bool opened) {
                                               if (self && !opened)
                                                   self->reportUnopened(page);
                                           });
        });
        break;
    }
    case Updater::Outcome::UpToDate:
        box->setIcon(QMessageBox::Information);
        box->setText(QStringLiteral("You're up to date!"));
        box->setInformativeText(QStringLiteral("Quillora is currently the newest version available."));
        box->addButton(QMessageBox::Ok);
        break;
    case Updater::Outcome::Failed:
        box->setIcon(QMessageBox::Warning);
        if (result.item.version.isEmpty()) {
            box->setText(QStringLiteral("Update check failed"));
            box->setInformativeText(
                QStringLiteral("Quillora could not look for updates: %1").arg(result.error));
        } else {
            box->setText(QStringLiteral("A new version of Quillora cannot be offered"));
            box->setInformativeText(result.error);
        }
        box->addButton(QMessageBox::Ok);
        break;
    case Updater::Outcome::Cancelled:
        break;
    }
    fitToInformativeText(box);
    m_alert = box;
    box->open();
}

void UpdaterController::reportUnopened(const QUrl& page) {
    // No browser took the page: say so, with the address to open by hand.
    if (m_alert)
        m_alert->close();
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Could not open the link"),
                                QStringLiteral("No application could open %1.").arg(page.toString()),
                                QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("UpdateAlert"));
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_alert = box;
    box->open();
}
