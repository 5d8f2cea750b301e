#include "session.h"

#include <QFile>
#include <QFileInfo>

namespace ternwick {

Session::Session()
    : tracker_(*this, airlines_),
      pump_(tracker_),
      aprs_([this] { return ReportTime(); }, SortedPortNames, [this] { return NowSeconds(); }) {
    // Every evaluation may change the table; while the list is on, the expiry pass runs
    // right before it.
    pump_.before_message = [this] {
        // A recording's clock moves with the time of each message it replays.
        clock_.SetRecordingTime(pump_.MessageTime());
        if (list_per_message_) ShowTextTable();
    };
    pump_.after_message = [this] {
        live_.TableChanged();
        if (live_map_kept_) NoteForLiveMap();
        // Slots free up as time passes: an aircraft waiting for one gets it with the next
        // message, whichever aircraft that message is from.
        Report(-2);
        if (observer_) observer_();
    };
    view_.SetReportStep([this](int16_t dbpos) { Report(dbpos); });
    // An aircraft leaving the table (the list's expiry) may withdraw its reported object.
    tracker_.Db.SetLeaveObserver([this](const DbRecord& e) {
        tracks_.Remove(AddressKey(e.Icao));
        const QString error = aprs_.AircraftLeft(e);
        if (!error.isEmpty() && on_failure_) on_failure_(error);
    });
}

Session::~Session() { Shutdown(); }

bool Session::Start(const SessionConfig& config, StartupProblems& problems) {
    view_.SetAppFolder(config.folder);

    // The map catalogue. Without one a headless replay still decodes (surface offset 0).
    const std::string catalogue = config.catalogue.empty() ? config.folder + "/setup.txt" : config.catalogue;
    MapTable table;
    const bool absent_default = !config.catalogue_required && config.catalogue.empty() &&
                                !QFile::exists(QString::fromStdString(catalogue));
    if (!absent_default) {
        std::string error;
        if (!LoadMapCatalogue(catalogue, table, error)) {
            if (config.catalogue_required) {
                problems.fatal = error;
                return false;
            }
            problems.catalogue = error;  // told, and the replay goes on without maps
            table.clear();
        }
    }
    view_.SetCatalogue(table);

    // The airline directory: a missing or short file is told; the rows read are used.
    airlines_.LoadFile(config.airlines.empty() ? config.folder + "/airlinecodes.csv" : config.airlines,
                       problems.airlines);

    if (!table.empty()) {
        const int maps = static_cast<int>(table.size()) - 1;
        if (!view_.SelectMap(config.map)) {
            problems.fatal = "map catalogue \"" + catalogue + "\" has maps 1 to " + std::to_string(maps);
            problems.bad_map = true;
            return false;
        }
    }

    // The live map's outlines: a missing or broken file is told; the map then shows what
    // the other levels hold, or plain sea.
    if (config.outlines) outlines_.Load(config.folder + "/outlines", &problems.outlines);
    drawing_ = config.draw;
    if (drawing_) {
        std::string error;
        if (!view_.ClearMap(tracker_.Db, error) && problems.picture.empty()) problems.picture = error;
        view_.SetMapFont();
        DrawHomeMark();
    }
    tracker_.Squitter.clear();
    for (int i = 0; i <= FlightTable::kLast; ++i) tracker_.Db.InitDbPos(i);
    tracker_.NewDbPos = 0;
    return true;
}

void Session::Shutdown() { aprs_.Close(); }

void Session::SetLiveMapKept(bool on) {
    // Positions stored while nothing was kept are not the next message's.
    if (on && !live_map_kept_) positions_seen_ = tracker_.stats().positions;
    live_map_kept_ = on;
}

void Session::NoteForLiveMap() {
    const uint32_t key = tracker_.CurKey();
    const int16_t i = tracker_.Db.Find(key);
    if (i < 0) return;
    const DbRecord& e = tracker_.Db(i);
    const LiveAircraft* a = tracks_.Find(key);
    // Only a message that reached the aircraft's entry counts (a rejected one leaves CurIcao
    // as the last good message set it).
    if (!a || a->messages != e.Messages) tracks_.Heard(key, tracker_.Now(), e.Messages);
    const uint64_t positions = tracker_.stats().positions;
    if (positions != positions_seen_) {
        positions_seen_ = positions;
        if (e.HasPos) tracks_.Position(key, tracker_.Now(), e.Lat, e.Lon, e.PosKind == "S");
    }
}

LiveMapState Session::LiveMap() {
    const double now = NowSeconds();
    tracks_.Cut(now, trail_seconds_);
    LiveMapState s;
    s.db = &tracker_.Db;
    s.tracks = &tracks_;
    s.now = now;
    s.trail_seconds = trail_seconds_;
    s.air_expire = air_expire_;
    s.surf_expire = surf_expire_;
    s.receiver = receiver_;
    s.use_kmh = list_settings_.use_kmh;
    s.outlines = &outlines_;
    s.coverage = &coverage_;
    return s;
}

void Session::DrawHomeMark() {
    if (receiver_) view_.DrawReceiverMark(receiver_->lat, receiver_->lon);
    else view_.DrawHomeMark();
}

void Session::SetReceiver(std::optional<geo::LatLon> pos) {
    receiver_ = pos;
    aprs_.SetReceiver(pos);  // the radius filter's centre
    ++map_settings_revision_;  // the live map's mark and rings
    if (pos) coverage_.Reset(*pos);
    else coverage_.Reset({});
    ShowCoverage();
}

void Session::SetCoverageShown(bool on) {
    coverage_shown_ = on;
    ShowCoverage();
}

void Session::PositionStored(int16_t dbpos) {
    if (!receiver_ || dbpos < 0) return;
    const DbRecord& e = tracker_.Db(dbpos);
    if (!coverage_.Add({e.Lat, e.Lon}, e.PosKind == "A" ? std::optional<int>(e.Altitude) : std::nullopt)) return;
    ShowCoverage();
}

void Session::ShowCoverage() {
    if (!drawing_) return;
    if (receiver_ && coverage_shown_) view_.SetCoverage(coverage_.Outline());
    else view_.SetCoverage({});
}

std::optional<ReceiverRef> Session::Receiver() const {
    if (!receiver_) return std::nullopt;
    return ReceiverRef{*receiver_, max_range_nm_};
}

double Session::MapSurfLonOffset() const {
    return surf_offset_override_.value_or(view_.CurrentMap().MapSurfLonOffset);
}

void Session::ShowTextTable() {
    live_.ShowTextTable(tracker_.Db, clock_.SecondsInHour(), list_settings_);
    Report(-2);
}

bool Session::MapList_Click(int k, std::string& error) {
    view_.SelectMap(k);
    return ClearMap_Click(error);
}

bool Session::ClearMap_Click(std::string& error) { return view_.ClearMap(tracker_.Db, error); }

AprsTime Session::ReportTime() const {
    const ClockTime t = clock_.Now();
    return {t.day, t.hour, t.minute};
}

void Session::PlotPosDb(int16_t dbpos) {
    // Without a picture there is nothing to draw; the report step runs all the same.
    if (drawing_) view_.PlotPosDb(tracker_.Db, dbpos);
    else Report(dbpos);
}

void Session::Report(int16_t dbpos) {
    if (dbpos == -2 && !aprs_.Waiting()) return;  // the usual answer after a message, without a call
    const QString error = dbpos == -2 ? aprs_.Dispatch(tracker_.Db) : aprs_.SendAprsObject(tracker_.Db, dbpos);
    if (!error.isEmpty() && on_failure_) on_failure_(error);
}

}  // namespace ternwick
