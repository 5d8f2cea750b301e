// The window's "Receiver:" group: where the receiver is and how far it hears. A position
// makes single reports decode next to it, moves the home mark there ("RX") and gives range
// and bearing; an empty box decodes without one.
#pragma once

#include <QGroupBox>

#include <functional>

class QCheckBox;
class QLineEdit;

namespace ternwick {

class Session;

class ReceiverPanel : public QGroupBox {
public:
    // `tell` shows a message without holding up the event loop; `changed` runs after the
    // setting was applied (the map was cleared and the home mark drawn again).
    ReceiverPanel(Session& session, std::function<void(const QString&)> tell, std::function<void()> changed,
                  QWidget* parent);

    // Takes the boxes' values into the session. A refused value is told, naming the box, and
    // the session keeps its setting. False when something was refused.
    bool Apply();

private:
    Session& session_;
    std::function<void(const QString&)> tell_;
    std::function<void()> changed_;
    QLineEdit* RxPosition = nullptr;
    QLineEdit* RxMaxRange = nullptr;
    QCheckBox* ShowCoverage = nullptr;
};

}  // namespace ternwick
