#include "receiver_panel.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include <cmath>
#include <optional>

#include "session/receiver_setting.h"
#include "session/session.h"

namespace ternwick {

namespace {

QLineEdit* Box(const QString& text, const QString& name, const QString& tip, int width, QWidget* parent) {
    auto* e = new QLineEdit(text, parent);
    e->setAccessibleName(name);
    e->setToolTip(tip);
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPointSize(9);
    e->setFont(f);
    e->setFixedWidth(width);
    return e;
}

}  // namespace

ReceiverPanel::ReceiverPanel(Session& session, std::function<void(const QString&)> tell,
                             std::function<void()> changed, QWidget* parent)
    : QGroupBox(QStringLiteral("Receiver:"), parent),
      session_(session),
      tell_(std::move(tell)),
      changed_(std::move(changed)) {
    const auto& rx = session_.receiver();
    RxPosition = Box(rx ? QStringLiteral("%1,%2").arg(rx->lat, 0, 'f', 6).arg(rx->lon, 0, 'f', 6) : QString(),
                     QStringLiteral("Receiver position"),
                     QStringLiteral("Where the receiver is: LAT,LON in decimal degrees, south and west negative "
                                    "(52.0,4.36). Empty: positions are decoded without it. Setting it clears the "
                                    "map and draws the home mark there."),
                     170, this);
    RxPosition->setPlaceholderText(QStringLiteral("LAT,LON"));
    RxMaxRange = Box(QString::number(session_.maxRangeNm()), QStringLiteral("Max. range"),
                     QStringLiteral("How far the receiver hears, nautical miles: positions farther away are "
                                    "refused"),
                     60, this);
    auto* position_label = new QLabel(QStringLiteral("Position:"), this);
    position_label->setBuddy(RxPosition);
    auto* range_label = new QLabel(QStringLiteral("Max. range:"), this);
    range_label->setBuddy(RxMaxRange);
    auto* grid = new QGridLayout(this);
    grid->addWidget(position_label, 0, 0);
    grid->addWidget(RxPosition, 0, 1, 1, 2);
    grid->addWidget(range_label, 1, 0);
    grid->addWidget(RxMaxRange, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("NM"), this), 1, 2);
    ShowCoverage = new QCheckBox(QStringLiteral("Coverage"), this);
    ShowCoverage->setToolTip(QStringLiteral("Draw the coverage outline over the map: the farthest position heard in "
                                            "each 5-degree sector of bearing from the receiver"));
    grid->addWidget(ShowCoverage, 2, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    connect(ShowCoverage, &QCheckBox::toggled, this, [this](bool on) {
        session_.SetCoverageShown(on);
        if (changed_) changed_();
    });
    connect(RxPosition, &QLineEdit::editingFinished, this, [this] { Apply(); });
    connect(RxMaxRange, &QLineEdit::editingFinished, this, [this] { Apply(); });
}

bool ReceiverPanel::Apply() {
    std::string why;
    double range = 0.0;
    if (!ParseMaxRange(RxMaxRange->text().toStdString(), range, why)) {
        tell_(QStringLiteral("Max. range: %1").arg(QString::fromStdString(why)));
        return false;
    }
    std::optional<geo::LatLon> pos;
    const QString text = RxPosition->text().trimmed();
    if (!text.isEmpty()) {
        geo::LatLon p;
        if (!ParseReceiverPosition(text.toStdString(), p, why)) {
            tell_(QStringLiteral("Receiver position: %1").arg(QString::fromStdString(why)));
            return false;
        }
        pos = p;
    }
    const auto& old = session_.receiver();
    const bool moved = old.has_value() != pos.has_value() ||
                       (pos && (old->lat != pos->lat || old->lon != pos->lon));
    session_.SetMaxRangeNm(range);
    if (!moved) return true;
    session_.SetReceiver(pos);
    // The home mark goes where the receiver is: on a fresh picture, as at start-up.
    std::string error;
    if (!session_.ClearMap_Click(error)) tell_(QString::fromStdString(error));
    if (session_.drawing()) session_.DrawHomeMark();
    if (changed_) changed_();
    return true;
}

}  // namespace ternwick
