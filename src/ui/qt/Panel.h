#pragma once

#include <QFrame>
#include <QString>

namespace veltrona::ui {

// A bevelled panel that groups controls. Its caption, empty as designed, is drawn centred
// when the translation file gives it one.
class Panel : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)

  public:
    explicit Panel(QWidget* parent = nullptr) : QFrame(parent) {}

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString caption_;
};

}  // namespace veltrona::ui
