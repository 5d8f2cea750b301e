// One running session: the airline directory, the flight table with its Tracker, the map
// view, the live list, the APRS output and the clock, brought up in the one start-up order
// that the window and the headless replay share. It is the tracker's host: it plots what
// the tracker decodes and reports it.
#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "airlines/airline_directory.h"
#include "common/clock.h"
#include "decode/byte_pump.h"
#include "decode/tracker.h"
#include "geo/coverage.h"
#include "display/live_list.h"
#include "display/live_map.h"
#include "display/live_tracks.h"
#include "display/map_view.h"
#include "session/aprs_output.h"

namespace ternwick {

struct SessionConfig {
    std::string folder;         // the application folder (data files beside the program)
    std::string catalogue;      // empty: "setup.txt" in the folder
    bool catalogue_required = true;  // false: a missing default catalogue is no problem
    std::string airlines;       // empty: "airlinecodes.csv" in the folder
    int map = 1;                // the current map, catalogue entry 1..N
    bool draw = true;           // keep the map picture (needs a QGuiApplication)
    bool outlines = true;       // load the live map outlines from "outlines/" in the folder
};

// What start-up found. A fatal problem ends start-up; the others are told and the session
// runs with what it has.
struct StartupProblems {
    std::string fatal;      // the catalogue cannot be used, or the map number is not in it
    bool bad_map = false;   // fatal because the map number is not in the catalogue
    std::string catalogue;  // an optional catalogue that could not be read (no maps then)
    std::string airlines;   // the airline directory is missing or short
    std::string picture;    // the first map's picture cannot be loaded
    std::string outlines;   // an outline file of the live map is missing or broken
};

class Session : public TrackerHost {
public:
    Session();
    ~Session() override;

    // Start-up: catalogue, airline directory, current map and its picture, the map font,
    // the home mark, an empty flight table. False when problems.fatal is set.
    bool Start(const SessionConfig& config, StartupProblems& problems);
    // Shut-down: the report port is closed.
    void Shutdown();

    Tracker& tracker() { return tracker_; }
    FlightTable& Db() { return tracker_.Db; }
    BytePump& pump() { return pump_; }
    Clock& clock() { return clock_; }
    AirlineDirectory& airlines() { return airlines_; }
    MapView& view() { return view_; }
    bool drawing() const { return drawing_; }
    AprsOutput& aprs() { return aprs_; }
    LiveList& live() { return live_; }
    // What the live map remembers of each aircraft (trails, first heard, counts).
    const LiveTracks& tracks() const { return tracks_; }
    // Whether a live map is kept (the window's, or one drawn at the end of a replay): only
    // then is that memory kept up after every message, which costs a lookup or two each.
    // Off (the default), nothing is remembered; turned on, it starts from what comes next.
    void SetLiveMapKept(bool on);
    bool LiveMapKept() const { return live_map_kept_; }

    // The live map's settings: trail length, and the ages beyond which a position is drawn
    // hollow ("AirPosExp:", "SurfPosExp:").
    void SetTrailSeconds(double s) {
        trail_seconds_ = s;
        ++map_settings_revision_;
    }
    void SetPositionExpiry(double air, double surf) {
        air_expire_ = air;
        surf_expire_ = surf;
        ++map_settings_revision_;
    }
    // Everything the live map draws, as it stands now (trails cut to their length first).
    LiveMapState LiveMap();
    // Grows whenever what the live map shows may have changed.
    uint64_t LiveRevision() const { return tracks_.Revision() + map_settings_revision_ + coverage_.revision(); }

    // The controls that decide what happens to a decoded position.
    void SetPlotAir(bool on) { plot_air_ = on; }
    void SetPlotSurf(bool on) { plot_surf_ = on; }
    // A surface longitude offset that overrides the current map's.
    void SetSurfOffsetOverride(std::optional<double> deg) { surf_offset_override_ = deg; }
    // Where the receiver is (none: positions are decoded without it, as always) and how far
    // it hears, nautical miles. Set before Start, the home mark is drawn at the receiver.
    // A new position starts the coverage afresh.
    void SetReceiver(std::optional<geo::LatLon> pos);
    const std::optional<geo::LatLon>& receiver() const { return receiver_; }
    // With a receiver position: the farthest position heard in each sector of bearing.
    const geo::Coverage& coverage() const { return coverage_; }
    // Whether the coverage outline is drawn over the map (the catalogue map keeps its
    // pixels unless asked).
    void SetCoverageShown(bool on);
    bool coverageShown() const { return coverage_shown_; }
    void SetMaxRangeNm(double nm) { max_range_nm_ = nm; }
    double maxRangeNm() const { return max_range_nm_; }
    // A live source is running: on the wall clock its messages are judged by the time they
    // arrive, which the speed check needs (a recording's time stamps count by themselves).
    void SetMessageTimesReal(bool real) { times_real_ = real; }
    // The home mark: at the receiver ("RX") when there is one, else the fixed one.
    void DrawHomeMark();

    // "Live List" and the list settings ("DB. Exp.:", "Use kmh"). While the list is on, an
    // expiry pass runs before every message, as a pass after every replayed byte would.
    void SetListPerMessage(bool on) { list_per_message_ = on; }
    bool ListPerMessage() const { return list_per_message_; }
    void SetListSettings(const ListSettings& s) {
        if (s.use_kmh != list_settings_.use_kmh) ++map_settings_revision_;
        list_settings_ = s;
    }
    const ListSettings& listSettings() const { return list_settings_; }
    // ShowTextTable: the expiry pass for the current second.
    void ShowTextTable();
    // The live list text of the last pass.
    const std::string& ListText() { return live_.Text(tracker_.Db); }

    // "Map" list and "Clr Map": false with a message when the picture cannot be loaded (the
    // previous picture stays, wiped).
    bool MapList_Click(int k, std::string& error);
    bool ClearMap_Click(std::string& error);

    // Where reports go besides the report port (the headless replay prints them), as text
    // lines or KISS frames.
    void SetReportPrinter(std::function<void(const std::string& line)> printer,
                          AprsFormat format = AprsFormat::Text) {
        aprs_.SetPrinter(std::move(printer), format);
    }
    // Runs after every evaluated message (a trace printer, a window's refresh flag).
    void SetMessageObserver(std::function<void()> observer) { observer_ = std::move(observer); }
    // Told when the report port failed while reporting (it is then closed).
    void SetReportFailure(std::function<void(const QString&)> on_failure) { on_failure_ = std::move(on_failure); }
    AprsTime ReportTime() const;

    // TrackerHost
    int SecondsInHour() const override { return clock_.SecondsInHour(); }
    double NowSeconds() const override { return clock_.Time(); }
    // A recording's own time stamps, or a live source on the wall clock.
    bool MessageTimesReal() const override { return clock_.recording() || (times_real_ && !clock_.fixed()); }
    std::optional<ReceiverRef> Receiver() const override;
    void PositionStored(int16_t dbpos) override;
    bool PlotAir() const override { return plot_air_; }
    bool PlotSurf() const override { return plot_surf_; }
    double MapSurfLonOffset() const override;
    void PlotPosDb(int16_t dbpos) override;

private:
    // The report step of a plotted entry; -2: only hand out the slots free now.
    void Report(int16_t dbpos);
    // After every message: what the live map remembers of the message's aircraft.
    void NoteForLiveMap();

    Clock clock_;
    AirlineDirectory airlines_;
    Tracker tracker_;
    BytePump pump_;
    MapView view_;
    LiveList live_;
    LiveTracks tracks_;
    geo::OutlineStore outlines_;
    uint64_t positions_seen_ = 0;
    bool live_map_kept_ = false;
    double trail_seconds_ = 300, air_expire_ = 10, surf_expire_ = 30;
    uint64_t map_settings_revision_ = 0;
    AprsOutput aprs_;
    bool drawing_ = false;
    bool plot_air_ = true;
    bool plot_surf_ = true;
    std::optional<double> surf_offset_override_;
    std::optional<geo::LatLon> receiver_;
    geo::Coverage coverage_;
    bool coverage_shown_ = false;
    void ShowCoverage();
    double max_range_nm_ = kDefaultMaxRangeNm;
    bool times_real_ = false;
    bool list_per_message_ = false;
    ListSettings list_settings_;
    std::function<void(const QString&)> on_failure_;
    std::function<void()> observer_;
};

}  // namespace ternwick
