#pragma once

#include <QFrame>
#include <QString>

namespace veltrona::ui {

// A bevelled panel that groups controls. It carries a caption like the other captioned
// controls, so the translation file can set it, though the panels of this window show none.
class Panel : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)

  public:
    explicit Panel(QWidget* parent = nullptr) : QFrame(parent) {}

    QString caption() const { return caption_; }
    void setCaption(const QString& caption) { caption_ = caption; }

  private:
    QString caption_;
};

}  // namespace veltrona::ui
