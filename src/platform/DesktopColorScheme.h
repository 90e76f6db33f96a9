#pragma once

#include <QObject>
#include <QString>

class QDBusVariant;

// The desktop's own light or dark preference: the freedesktop appearance setting "color-scheme", read
// through the desktop portal's Settings interface and followed while running. Without a portal there is
// no preference.
class DesktopColorScheme : public QObject {
    Q_OBJECT
public:
    enum class Preference { None, Dark, Light };

    // Asks the portal on the session bus at `sessionBusAddress`; nothing blocks the calling thread.
    explicit DesktopColorScheme(const QString& sessionBusAddress, QObject* parent = nullptr);
    ~DesktopColorScheme() override;

    Preference preference() const { return m_preference; }
    // Whether the portal has answered, or is known not to.
    bool isSettled() const { return m_settled; }

    // The preference a "color-scheme" value stands for: 1 dark, 2 light, anything else none.
    static Preference fromValue(const QVariant& value);

Q_SIGNALS:
    void preferenceChanged();
    void settledChanged();

private Q_SLOTS:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void connected(bool ok);
    void read(bool oldInterface);
    void update(Preference preference);
    void settle();

    QString m_connectionName;
    // The named connection exists (connected or not) and must be let go.
    bool m_connectionOpened = false;
    bool m_settled = false;
    bool m_heardChange = false;
    Preference m_preference = Preference::None;
};
