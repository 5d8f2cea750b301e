// The window's side of the live map: the details panel of the selected aircraft, the live
// list's row that belongs to it, and a click on a list row selecting that row's aircraft.
#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextBlock>

#include "common/number_text.h"
#include "display/aircraft_details.h"
#include "gui/live_map_widget.h"
#include "gui/main_window.h"
#include "session/session.h"

namespace ternwick {

void MainWindow::PositionExpiryChanged() {
    session_.SetPositionExpiry(LeadingNumber(AirPosExpire->text().toStdString()),
                               LeadingNumber(SurfPosExpire->text().toStdString()));
}

void MainWindow::SelectionChanged() {
    ShowDetails();
    MarkListRow();
}

void MainWindow::ShowDetails() {
    const uint32_t key = LiveMap->Selected();
    const int16_t index = key != kNoAddress ? session_.Db().Find(key) : -1;
    const DbRecord* entry = index >= 0 ? &session_.Db()(index) : nullptr;
    DetailsContext context;
    context.receiver = session_.receiver();
    context.now = session_.NowSeconds();
    const QString text = QString::fromStdString(
        AircraftDetailsText(entry, entry ? session_.tracks().Find(key) : nullptr, context));
    if (text == shown_details_) return;
    shown_details_ = text;
    // A value is not broken inside ("123.9838 E", "(0 s ago)"): in the narrow panel a line
    // breaks after its name instead.
    QString shown;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const qsizetype colon = line.indexOf(QStringLiteral(": "));
        shown += colon < 0 ? line
                           : line.left(colon + 2) + line.mid(colon + 2).replace(QLatin1Char(' '), QChar::Nbsp);
        shown += QLatin1Char('\n');
    }
    shown.chop(1);
    Details->setPlainText(shown);
}

void MainWindow::MarkListRow() {
    // The row of the selected aircraft gets the selection's colour; the list text itself is
    // the live list's, unchanged.
    QList<QTextEdit::ExtraSelection> marks;
    const uint32_t key = LiveMap->Selected();
    if (key != kNoAddress) {
        for (QTextBlock b = TableText->document()->begin(); b.isValid(); b = b.next()) {
            if (AddressKey(b.text().left(6).toStdString()) != key) continue;
            QTextEdit::ExtraSelection mark;
            mark.cursor = QTextCursor(b);
            mark.format.setBackground(QColor(255, 214, 120));
            mark.format.setProperty(QTextFormat::FullWidthSelection, true);
            marks.append(mark);
            break;
        }
    }
    TableText->setExtraSelections(marks);
}

void MainWindow::ListRowClicked(const QPoint& pos) {
    const QTextBlock row = TableText->cursorForPosition(pos).block();
    const uint32_t key = AddressKey(row.text().left(6).toStdString());
    if (key != kNoAddress) LiveMap->Select(key);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TableText->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) ListRowClicked(mouse->position().toPoint());
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace ternwick
