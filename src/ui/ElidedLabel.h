#pragma once

#include <QLabel>

// A one-line label that cuts its text at the tail with "…" to fit its width. The shown (cut) text stays
// selectable.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    QString fullText() const { return m_fullText; }
    void setFullText(const QString& text);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateElision();

    QString m_fullText;
};
