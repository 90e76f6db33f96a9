#include "keyboardshortcuts/Recorder.h"

#include "keyboardshortcuts/LocalEventMonitor.h"
#include "keyboardshortcuts/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"

#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QWindow>

namespace KeyboardShortcuts {

namespace {

bool isModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Mode_switch:
    case Qt::Key_unknown:
        return true;
    default:
        return false;
    }
}

void postActive(bool active) {
    NotificationCenter::shared().post(Notifications::RecorderActiveStatusDidChange,
                                      {{NotificationKeys::isActive, active}});
}

} // namespace

Recorder::Recorder(const Name& name, OnChange onChange, QWidget* parent)
    : QLineEdit(parent)
    , m_name(name)
    , m_onChange(std::move(onChange)) {
    // Nothing is ever typed here: read-only keeps out paste, input methods and the caret.
    setReadOnly(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
    setFocusPolicy(Qt::StrongFocus);
    setAlignment(Qt::AlignCenter);
    setPlaceholderText(localized("record_shortcut"));
    followPlaceholderColor();
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    m_clearAction =
        addAction(style()->standardIcon(QStyle::SP_LineEditClearButton), QLineEdit::TrailingPosition);
    m_clearAction->setObjectName(QStringLiteral("clearShortcut"));
    connect(m_clearAction, &QAction::triggered, this, [this] {
        setText(QString());
        clearShortcut();
    });

    setStringValue();
    // A shortcut grabbed on a later try, or refused or lost, changes the mark as a stored change does.
    for (const QString& change :
         {Notifications::ShortcutByNameDidChange, Notifications::ShortcutBindingDidChange}) {
        NotificationCenter::shared().addObserver(change, this, [this](const QVariantMap& userInfo) {
            const QVariant value = userInfo.value(NotificationKeys::name);
            if (value.metaType() == QMetaType::fromType<Name>() && value.value<Name>() == m_name)
                setStringValue();
        });
    }
}

Recorder::~Recorder() {
    // A recorder that goes while recording must not leave every hot key paused.
    if (m_recording)
        endRecording();
}

QWidget* Recorder::createLabeled(const QString& title, const Name& name, OnChange onChange, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(title, row);
    auto* recorder = new Recorder(name, std::move(onChange), row);
    label->setBuddy(recorder);
    layout->addWidget(label);
    layout->addWidget(recorder);
    return row;
}

void Recorder::setShortcutName(const Name& name) {
    if (name.rawValue() == m_name.rawValue())
        return;
    m_name = name;
    setStringValue();
}

QSize Recorder::sizeHint() const {
    return {minimumWidth, QLineEdit::sizeHint().height()};
}

QSize Recorder::minimumSizeHint() const {
    return {minimumWidth, QLineEdit::minimumSizeHint().height()};
}

void Recorder::setStringValue() {
    const std::optional<Shortcut> shortcut = getShortcut(m_name);
    setText(shortcut ? shortcut->description() : QString());
    updateClearButton();
    // Asked whenever the text is: a shortcut that fails at start stays stored and must not read as working.
    const bool taken = KeyboardShortcuts::isTakenElsewhere(m_name);
    setToolTip(taken ? localized("keyboard_shortcut_taken") : QString());
    if (std::exchange(m_takenElsewhere, taken) != taken)
        Q_EMIT takenElsewhereChanged(taken);
}

void Recorder::updateClearButton() {
    m_clearAction->setVisible(!text().isEmpty());
}

void Recorder::blur() {
    if (hasFocus() || window()->focusWidget() == this)
        clearFocus();
    if (m_recording)
        endRecording();
}

void Recorder::focus() {
    m_focusRequested = true;
    setFocus(Qt::OtherFocusReason);
}

void Recorder::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    const bool requested = std::exchange(m_focusRequested, false);
    // A window that opens or comes back to the front hands its focus widget the focus: that is no
    // request to record, and an open alert is answered first.
    if ((event->reason() == Qt::ActiveWindowFocusReason && !requested) || m_alert) {
        clearFocus();
        return;
    }
    if (!m_recording)
        startRecording();
}

void Recorder::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (m_recording)
        endRecording();
}

void Recorder::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    // A centred line edit hides its placeholder while it has the focus; recording is when it matters.
    if (!m_recording || !text().isEmpty())
        return;
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.setFont(font());
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    painter.drawText(area, Qt::AlignCenter, placeholderText());
}

void Recorder::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        followPlaceholderColor();
}

// The placeholder is the text colour at half strength, so it reads on a dark base as on a light one: a
// palette darkened by hand often keeps the light appearance's placeholder, near-black on the dark field.
void Recorder::followPlaceholderColor() {
    QColor color = palette().color(QPalette::Text);
    color.setAlphaF(0.5f);
    if (palette().color(QPalette::PlaceholderText) == color)
        return;
    // Only this role is set here; every other one keeps following the application's palette.
    QPalette own;
    own.setColor(QPalette::PlaceholderText, color);
    setPalette(own);
}

void Recorder::startRecording() {
    m_recording = true;
    setPlaceholderText(localized("press_shortcut"));
    updateClearButton();
    setPaused(true);
    postActive(true);
    m_eventMonitor = std::make_unique<LocalEventMonitor>(
        QList{QEvent::KeyPress, QEvent::ShortcutOverride, QEvent::MouseButtonPress,
              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease},
        [this](QObject* receiver, QEvent* event) { return handleMonitoredEvent(receiver, event); });
    // A combination another client or the window manager grabs would go to it and never come here. Holding
    // the whole keyboard beats their grabs, so every press arrives and a taken one can be reported.
    grabKeyboard();
}

void Recorder::endRecording() {
    m_recording = false;
    releaseKeyboard();
    m_eventMonitor.reset();
    setPlaceholderText(localized("record_shortcut"));
    updateClearButton();
    setPaused(false);
    postActive(false);
}

void Recorder::clearShortcut() {
    setShortcut(std::nullopt, m_name);
    updateClearButton();
    if (m_onChange)
        m_onChange(std::nullopt);
    focus();
}

bool Recorder::handleMonitoredEvent(QObject* receiver, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        // A press just beside the field would hand the focus to what lies under it (the tab's scroll
        // area), ending recording before its release is seen: it is swallowed where it first arrives, at
        // the window, before the focus moves.
        if (receiver != static_cast<QObject*>(window()->windowHandle()))
            return false;
        const QPoint position = mapFromGlobal(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return !rect().contains(position) && rect().adjusted(-3, -3, 3, 3).contains(position);
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        // A click comes first to its window, then to the widget under it: decide once, at the widget.
        auto* widget = qobject_cast<QWidget*>(receiver);
        if (!widget)
            return false;
        // The clear button inside the field works as usual.
        if (widget != this && isAncestorOf(widget))
            return false;
        const QPoint position = mapFromGlobal(mouse->globalPosition().toPoint());
        if (!rect().adjusted(-3, -3, 3, 3).contains(position)) {
            // A click elsewhere ends recording and still does what it was for.
            if (mouse->button() == Qt::LeftButton || mouse->button() == Qt::RightButton)
                blur();
            return false;
        }
        return true;
    }
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    if (event->type() == QEvent::ShortcutOverride) {
        // Claim every key, so no shortcut of the window fires in place of recording it.
        if (keyEvent->key() == Qt::Key_Tab && (keyEvent->modifiers() & ~Qt::KeypadModifier) == 0)
            return false;
        event->accept();
        return true;
    }
    return handleKey(keyEvent);
}

bool Recorder::handleKey(QKeyEvent* event) {
    if (isModifierKey(event->key()))
        return true;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool plain = modifiers == Qt::NoModifier;
    if (plain && event->key() == Qt::Key_Tab)
        return false; // moves the focus on, which ends recording
    if (plain && event->key() == Qt::Key_Escape) {
        blur();
        return true;
    }
    if (plain && (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)) {
        if (!text().isEmpty())
            m_clearAction->trigger();
        return true;
    }
    const std::optional<Shortcut> shortcut = Shortcut::fromKeyEvent(*event);
    if (!shortcut || !shortcut->isAllowedHotKey()) {
        QApplication::beep();
        return true;
    }
    const auto* menuBar = window()->findChild<QMenuBar*>();
    if (QAction* item = menuBar ? shortcut->matchingAction(menuBar->actions()) : nullptr) {
        blur();
        showAlert(localized("keyboard_shortcut_used_by_menu_item").arg(item->text().remove(QLatin1Char('&'))),
                  {});
        return true;
    }
    if (isTakenBySystem(*shortcut)) {
        // No way to use it anyway: our grab would be refused for as long as the other client holds its own.
        blur();
        showAlert(localized("keyboard_shortcut_used_by_system"),
                  localized("keyboard_shortcuts_can_be_changed"));
        return true;
    }
    accept(*shortcut);
    return true;
}

void Recorder::accept(const Shortcut& shortcut) {
    // A combination that cannot be registered would do nothing: say so, and keep the old one.
    if (!setShortcut(shortcut, m_name)) {
        blur();
        setStringValue();
        showAlert(localized("keyboard_shortcut_used_by_system"),
                  localized("keyboard_shortcuts_can_be_changed"));
        return;
    }
    setText(shortcut.description());
    updateClearButton();
    if (m_onChange)
        m_onChange(shortcut);
    blur();
}

void Recorder::showAlert(const QString& message, const QString& informative) {
    auto* alert = new QMessageBox(QMessageBox::Warning, QApplication::applicationDisplayName(), message,
                                  QMessageBox::NoButton, window());
    alert->setObjectName(QStringLiteral("recorderAlert"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    if (!informative.isEmpty())
        alert->setInformativeText(informative);
    QPushButton* ok = alert->addButton(localized("ok"), QMessageBox::AcceptRole);
    alert->setDefaultButton(ok);
    alert->setEscapeButton(ok);
    m_alert = alert;
    connect(alert, &QMessageBox::finished, this, [this] {
        m_alert = nullptr;
        focus();
    });
    alert->open();
}

} // namespace KeyboardShortcuts
