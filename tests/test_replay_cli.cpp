// ternwick-replay as a script uses it: files, standard input and a receiver on 127.0.0.1, every output and refusal.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>

#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>

#include "beast_frames.h"
#include "fake_receiver.h"
#include "temp_path.h"
#include "test_support.h"

using namespace ternwick::test;
namespace fs = std::filesystem;

namespace {

const std::string kReplay = TERNWICK_BIN_DIR "/ternwick-replay";
const std::string kPair = "*8D40621D58C382D690C8AC2863A7;\r\n*8D40621D58C386435CC412692AD6;\r\n";
const std::string kIdent = "*8D4CA2B120513531CB38206CB0D3;\r\n";  // 4CA2B1 identifies as TST123
const std::string kCsvHead =
    "icao,flight,iata_flight,airline,pos_kind,altitude_ft,speed_kt,lat,lon,squawk,vertical_rate_fpm,source\n";
// An identification, the published position pair and a velocity, without airline names.
const std::string kCsv = kCsvHead +
                         "4CA2B1,TST123  ,123   ,,-,0,0,0.000000,0.000000,,,ADS-B\n"
                         "40621D,        ,,,A,38000,0,52.265780,3.938913,,,ADS-B\n"
                         "485020,        ,,,-,0,159,0.000000,0.000000,,-832,ADS-B\n";

// Standard output and standard error together, without airline names.
RunResult Replay(const std::string& args, const std::string& program = kReplay) {
    return RunCommand(program + " --airlines /dev/null " + args + " 2>&1");
}

// A run on `args` that ends with `status` and says each of `parts`.
void Expect(const std::string& args, int status, std::initializer_list<std::string> parts,
            const std::string& program = kReplay) {
    const RunResult r = Replay(args, program);
    EXPECT_EQ(r.status, status) << args << "\n" << r.out;
    for (const std::string& part : parts) EXPECT_TRUE(TextHolds(r.out, part)) << args;
}

// A run refused before it starts or as it ends: status 2 and a message saying why.
void ExpectRefused(const std::string& args, const std::string& message) {
    Expect(args, 2, {"ternwick-replay: " + message});
}

// Starts the command on `args`, feeding it standard input.
void Start(QProcess& p, const QStringList& args) {
    EnsureApp();
    p.start(QString::fromStdString(kReplay), QStringList{"--airlines", "/dev/null"} + args);
    ASSERT_TRUE(p.waitForStarted());
}

// Ctrl-C, then what the command wrote to standard output.
std::string Interrupt(QProcess& p) {
    kill(static_cast<pid_t>(p.processId()), SIGINT);
    EXPECT_TRUE(WaitFor([&] { return p.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    return p.readAllStandardOutput().toStdString();
}

// The messages of kCsv as Beast frames, each followed by a Mode A/C frame, 0x1A in time stamps.
std::string BeastTraffic() {
    std::string s;
    uint64_t stamp = 0x1A0000001A00;
    for (const char* m : {"8D4CA2B120513531CB38206CB0D3", "8D40621D58C382D690C8AC2863A7",
                          "8D40621D58C386435CC412692AD6", "8D485020994409940838175B284F"}) {
        s += BeastFrame(m, stamp);
        s += BeastFrame("0101", stamp + 1);
        stamp += 2;
    }
    return s;
}

// The published pair for 40621D, then a pair for 4CA1F3 at 50.01N 3.01W (357 degrees in
// the table), and a surface pair for 3C6DD2 at 40.51N 30.27E (before any map offset).
std::string TrafficLog() {
    std::string log = kPair;
    for (int odd : {0, 1}) log += "*" + AirbornePos(0x4CA1F3, 50.01, -3.01, odd) + ";\r\n";
    for (int odd : {0, 1}) log += "*" + SurfacePos(0x3C6DD2, 40.51, 30.27, odd) + ";\r\n";
    return WriteTemp("display_traffic.log", log);
}

// Map 1: 12W..132E, 0..60N (x = (lon + 12) * 800 / 144, y = (60 - lat) * 400 / 60).
// Map 2: the same frame with surface longitudes shifted by 90 degrees.
std::string Catalogue() {
    QImage white(800, 400, QImage::Format_RGB32);
    white.fill(Qt::white);
    const std::string pic = TempPath("display_white.png");
    white.save(QString::fromStdString(pic));
    return WriteTemp("display_setup.txt",
                     "2\n\"Wide, test\"," + pic + ",-12,144,0,60,3,1,0\nShifted," + pic + ",-12,144,0,60,3,1,90\n");
}

QRgb Pixel(const std::string& png, int x, int y) { return QImage(QString::fromStdString(png)).pixel(x, y); }

}  // namespace

// (The golden outputs hold the trace, table and counts of whole recordings byte for byte.)
TEST(ReplayCli, TraceCsvAndCountsGoOnPastAMissingFile) {
    // A missing file between two that are read, the second with garbage before a velocity message.
    const std::string a = WriteTemp("pair.log", kIdent + kPair);
    const std::string b = WriteTemp("vel.log", "garbage\x01\xff*8D485020994409940838175B284F;");
    Expect("--trace --csv --stats " + a + " /nonexistent.log " + b, 2,
           {"/nonexistent.log", "8D4CA2B120513531CB38206CB0D3\nDF17 Extended Squitter\nICAO 4CA2B1\n", kCsv,
            "messages evaluated: 4\n"});
}

TEST(ReplayCli, RepairsAndAddressParityRepliesCounted) {
    // The identification with bit 61 wrong, an all-call reply, a DF5 reply from it and one
    // from an aircraft never heard.
    std::string id = "8D4CA2B120513531CB38206CB0D3";
    id[15] = '9';  // bits 61-64: 0001 -> 1001
    namespace traffic = ternwick::traffic;
    const std::string df5 = traffic::ToHex(traffic::AddressParityReply(5, 0, traffic::Id13(7700), 0x4CA2B1));
    const std::string stray = traffic::ToHex(traffic::AddressParityReply(5, 0, traffic::Id13(7700), 0x123456));
    const std::string log =
        WriteTemp("repair.log", "*" + id + ";\r\n*" + AllCall(0x4CA2B1) + ";\r\n*" + df5 + ";\r\n*" + stray + ";\r\n");
    Expect("--csv --stats " + log, 0,
           {kCsvHead + "4CA2B1,TST123  ,123   ,,-,0,0,0.000000,0.000000,7700,,ADS-B\n",
            "one-bit repairs: 1\naddress/parity replies accepted: 1\naddress/parity replies refused: 1\n"});
    Expect("--csv --stats --fix-bits 0 " + log, 0,
           {kCsvHead + "4CA2B1,No-Call ,,,-,0,0,0.000000,0.000000,7700,,\n", "one-bit repairs: 0\n"});
}

TEST(ReplayCli, APipedReceiverIsTracedAsItArrivesAndCtrlCPrintsWhatWasAsked) {
    // `nc receiver 30002 | ternwick-replay --trace -`: the trace of a message comes while
    // standard input is still open, not once a block of it has filled.
    QProcess p;
    Start(p, {"--trace", "--csv", "-"});
    p.write(kIdent.data());
    std::string out;
    ASSERT_TRUE(WaitFor([&] {
        out += p.readAllStandardOutput().toStdString();
        return out.find("TST123") != std::string::npos;
    })) << out;
    out += Interrupt(p);
    EXPECT_EQ(p.exitCode(), 130);  // as the shell tells a command ended by Ctrl-C
    EXPECT_TRUE(TextHolds(out, kCsvHead + "4CA2B1,TST123  ,123   ,,-,0,0,0.000000,0.000000,,,ADS-B\n"));
    EXPECT_TRUE(TextHolds(p.readAllStandardError().toStdString(), "ternwick-replay: interrupted after 32 bytes of -\n"));
}

TEST(ReplayCli, RefusedOptionsAndOutputThatCannotBeWritten) {
    const std::string log = WriteTemp("refuse.log", kPair), bad = WriteTemp("bad_setup.txt", "1\nA,a.png,west,1,2,3,4,5,6\n");
    const std::string cat = "--catalogue " + Catalogue(), no_server = "127.0.0.1:" + std::to_string(FreePort());
    const std::string nopic = WriteTemp("nopic_setup.txt", "1\nA,/nonexistent/map.png,-12,144,0,60,3,1,0\n");
    const std::pair<std::string, std::string> refused[] = {
        {"--map 2.9", "--map '2.9': must be a whole number from 1 to 32767"},
        {"--surf-offset nan", "--surf-offset 'nan': must be a number from -360 to 360"},
        {"--expire -5", "--expire '-5': must be a number from 0 to 86400"},
        {"--at 4294967301:12:00:00", "--at '4294967301:12:00:00': must be D:HH:MM:SS"},
        {"--fix-bits 2", "--fix-bits '2': must be a whole number from 0 to 1\n"},
        {"--aprs --aprs-call N0CALLXX", "--aprs-call 'N0CALLXX': a callsign has at most 6 letters and digits\n"},
        {"--aprs --aprs-path A,B,C,D,E,F,G,H,I", "--aprs-path 'A,B,C,D,E,F,G,H,I': a path has at most 8 entries\n"},
        {"--aprs --aprs-format xml", "--aprs-format 'xml': either text or kiss\n"},
        {"--aprs --aprs-interval 1.5", "--aprs-interval '1.5': must be a whole number from 0 to 3600\n"},
        {"--aprs --aprs-max-per-min 601", "--aprs-max-per-min '601': must be a whole number from 0 to 600\n"},
        {"--aprs --aprs-to localhost:+80",
         "--aprs-to localhost:+80: KISS server \"localhost:+80\": the port after \":\" is a number from 1 to 65535\n"},
        // No KISS server there: the run does not start.
        {"--aprs --aprs-to " + no_server, "--aprs-to " + no_server + ": KISS server " + no_server + " cannot be reached ("},
        {"--receiver 91,0", "--receiver '91,0': latitude must be a number from -90 to 90\n"},
        {"--receiver 10,-180.5", "--receiver '10,-180.5': longitude must be a number from -180 to 180\n"},
        {"--receiver 52.0", "--receiver '52.0': must be LAT,LON in decimal degrees (south and west negative)\n"},
        {"--max-range 0", "--max-range '0': must be a number from 1 to 1000\n"},
        {"--coverage c.csv", "--coverage needs --receiver\n"},
        {"--receiver 1,1 --png-coverage", "--png-coverage needs --png\n"},
        {"--receiver 1,1 --coverage /nonexistent/dir/c.csv", "--coverage /nonexistent/dir/c.csv cannot be written: "},
        {"--record x.log", "--record needs --connect\n"},
        {"--live-png x.png --view 50,0", "--view '50,0': "},
        {"--live-png x.png --view 95,0,100", "--view '95,0,100': "},
        {"--live-png x.png --view 50,0,5", "--view '50,0,5': "},
        {"--live-png x.png --size 400", "--size '400': "},
        {"--live-png x.png --size 20x20", "--size '20x20': "},
        {"--live-png /nonexistent/dir/x.png", "--live-png cannot write /nonexistent/dir/x.png: "},
        {"--catalogue " + bad + " --list", "Map catalogue \"" + bad + "\", map 1, field MapLonWest (line 2): \"west\" is not a number"},
        {cat + " --map 3 --csv", "--map 3: map catalogue \"" + Catalogue() + "\" has maps 1 to 2"},
        {cat + " --png /nonexistent/dir/out.png",
         "Map picture \"/nonexistent/dir/out.png\" cannot be written (No such file or directory)"},
        // A picture that cannot be loaded spoils the PNG: told, and not a success.
        {"--catalogue " + nopic + " --png " + TempPath("nopic.png"), "Map picture \"/nonexistent/map.png\" cannot be loaded"},
    };
    for (const auto& [args, message] : refused) ExpectRefused(args + " " + log, message);
    ExpectRefused(testing::TempDir(), "cannot open " + testing::TempDir() + ": it is a folder, not a file\n");

    // A picture written over a FIFO (or a device) would replace it: refused, left as it was.
    const std::string fifo = TempPath("display_fifo.png");
    fs::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ExpectRefused(cat + " --png " + fifo + " " + log, "Map picture \"" + fifo + "\" is not written: it is a FIFO");
    EXPECT_TRUE(fs::is_fifo(fifo));
    fs::remove(fifo);
    // Output that cannot be written is a failure, not a success.
    // (The message goes to standard error, kept apart from the output sent to /dev/full.)
    const RunResult full = RunCommand(kReplay + " --airlines /dev/null --csv " + log + " 2>&1 >/dev/full");
    EXPECT_EQ(full.status, 2);
    EXPECT_TRUE(TextHolds(full.out, "writing the output failed: No space left on device"));
}

TEST(ReplayCli, ReceiverPositionFirstFixRangeBearingAndCoverage) {
    // One report of the published pair alone, 17 NM from the receiver: a position at once.
    const std::string one = WriteTemp("rx-one.log", "*8D40621D58C382D690C8AC2863A7;\r\n");
    Expect("--csv --stats --receiver 52.0,4.1 " + one, 0,
           {"40621D,        ,,,A,38000,0,52.257202,3.919373,,,ADS-B,16.8,336.7\n",
            "positions from a single report next to the receiver: 1\nsingle reports refused beyond the sure range: 0\n"
            "pairs refused beyond the maximum range: 0\nfixes refused as too fast: 0\n"});
    // With a range of 10 NM neither report alone is sure, and the pair lies too far.
    Expect("--stats --max-range 10 --receiver 52.0,4.1 " + WriteTemp("rx-pair.log", kPair), 0,
           {"positions decoded: 0\n",
            "single reports refused beyond the sure range: 2\npairs refused beyond the maximum range: 1\n"});
    // Without a receiver nothing is said about one.
    EXPECT_FALSE(TextHolds(Replay("--stats " + one).out, "receiver"));

    // The pair 17.0 NM from the receiver, bearing 339.7; an aircraft without one.
    const std::string cov = TempPath("rx-coverage.csv");
    Expect("--csv --stats --receiver 52.0,4.1 --coverage " + cov + " " + WriteTemp("rx-range.log", kPair + kIdent), 0,
           {"icao,flight,iata_flight,airline,pos_kind,altitude_ft,speed_kt,lat,lon,squawk,"
            "vertical_rate_fpm,source,range_nm,bearing_deg\n"
            "40621D,        ,,,A,38000,0,52.265780,3.938913,,,ADS-B,17.0,339.7\n"
            "4CA2B1,TST123  ,123   ,,-,0,0,0.000000,0.000000,,,ADS-B,,\n",
            "farthest position: 17.0 NM at bearing 339.7 (52.265780, 3.938913)\n"});
    EXPECT_EQ(ReadWholeFile(cov), "bearing_deg,range_nm,lat,lon,altitude_ft\n339.7,17.0,52.265780,3.938913,38000\n");

    // The outline on the picture only when asked: 100 NM north and east of 30 N 60 E, the
    // line from the receiver (400, 200) north to (400, 189) on map 1.
    std::string traffic;
    for (int odd : {0, 1}) {
        traffic += "*" + AirbornePos(0xA00001, 31.6667, 60.0, odd) + ";\r\n";
        traffic += "*" + AirbornePos(0xA00002, 30.0, 61.9245, odd) + ";\r\n";
    }
    const std::string png = TempPath("rx-coverage.png");
    const std::string args = "--receiver 30,60 --catalogue " + Catalogue() + " --png " + png + " ";
    ASSERT_EQ(Replay(args + WriteTemp("rx-traffic.log", traffic)).status, 0);
    EXPECT_EQ(Pixel(png, 400, 194), qRgb(255, 255, 255));
    ASSERT_EQ(Replay(args + "--png-coverage " + TempPath("rx-traffic.log")).status, 0);
    EXPECT_EQ(Pixel(png, 400, 194), qRgb(255, 0, 255));
}

TEST(ReplayDisplay, PictureListReportsMapChoiceAndLiveMap) {
    const std::string png = TempPath("display_out.png"), cat = "--catalogue " + Catalogue() + " ", log = TrafficLog();
    fs::remove(png);
    Expect("--at 5:14:07:30 " + cat + "--png " + png + " --list --aprs --expire 60 " + log, 0,
           {"QZ7TRK>APZ001,TCPIP*:;40621D   *051407z5215.  N/00356.00E^        \n"
            "QZ7TRK>APZ001,TCPIP*:;4CA1F3   *051407z5000.  N/00300.00W^        \n"
            "QZ7TRK>APZ001,TCPIP*:;3C6DD2   *051407z4030.  N/03016.00E^        \n",
            " ICAO    ICAOid    IATAid     Airline       LON        LAT        T   Alt.    Knts  Hrd\n"
            "---------------------------------------------------------------------------------------\n"
            "40621D                                      003.9389   052.2658   A   38000   000   000   \n"
            "4CA1F3                                      356.9900   050.0100   A   35000   000   000   \n"
            "3C6DD2                                      030.2700   040.5100   S   Surf.   000   000   \n"});
    const QImage img(QString::fromStdString(png));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.pixel(89, 52), qRgb(18, 8, 107));       // 40621D
    EXPECT_EQ(img.pixel(50, 66), qRgb(10, 126, 29));      // 4CA1F3, west of Greenwich
    EXPECT_EQ(img.pixel(235, 130), qRgb(130, 134, 43));   // 3C6DD2 on the surface: 24 lighter
    EXPECT_EQ(img.pixel(755, 331), qRgb(255, 0, 0));      // home mark at 123.98E 10.31N
    EXPECT_EQ(img.pixel(400, 390), qRgb(255, 255, 255));  // the map picture

    // With a receiver position the home mark is drawn there (40 N 60 E), not at Mactan.
    ASSERT_EQ(Replay("--receiver 40,60 " + cat + "--png " + png + " " + log).status, 0);
    EXPECT_EQ(Pixel(png, 400, 133), qRgb(255, 0, 0));
    EXPECT_EQ(Pixel(png, 755, 331), qRgb(255, 255, 255));

    // Map 2 shifts surface positions by 90 degrees, unless told otherwise.
    Expect(cat + "--map 2 --csv " + log, 0, {"3C6DD2,        ,,,S,0,0,40.510002,120.270003,,,ADS-B\n"});
    Expect(cat + "--map 2 --surf-offset 0 --csv " + log, 0, {"3C6DD2,        ,,,S,0,0,40.510002,30.270003,,,ADS-B\n"});
    // A copy of the program without setup.txt beside it: only the map options need it.
    const fs::path dir = TempPath("display_solo");
    fs::create_directories(dir);
    fs::copy_file(kReplay, dir / "ternwick-replay", fs::copy_options::overwrite_existing);
    const std::string program = dir / "ternwick-replay";
    Expect("--csv " + log, 0, {"4CA1F3,        ,,,A,35000,0,50.009998,-3.010031,,,ADS-B\n"}, program);
    Expect("--list " + log, 2, {"Map catalogue \"" + (dir / "setup.txt").string() + "\" cannot be read"}, program);

    // The live map of a chosen view: 4CA1F3 west of Greenwich, in its own colour, about 43 px
    // left of the middle; without a view every aircraft is fitted in.
    const std::string live = TempPath("live_out.png");
    fs::remove(live);
    Expect("--live-png " + live + " --view 50,0,2000 --size 400x300 " + log, 0,
           {"live map " + live + ": centre 50.0000 N 0.0000 E, 2000.0 km across, 2 aircraft\n"});
    const QImage view(QString::fromStdString(live));
    ASSERT_EQ(view.size(), QSize(400, 300));
    bool found = false;
    for (int x = 150; x < 165 && !found; ++x)
        for (int y = 143; y < 158 && !found; ++y) found = view.pixel(x, y) == qRgb(10, 126, 29);
    EXPECT_TRUE(found);
    Expect("--live-png " + live + " " + log, 0, {"km across, 3 aircraft\n"});
    EXPECT_EQ(QImage(QString::fromStdString(live)).size(), QSize(1024, 768));
}

TEST(ReplayNetwork, BeastUntilInterruptedRecordedAndReplayedToTheSameTable) {
    const std::string path = TempPath("cli_record.log");
    FakeReceiver rx;
    QProcess p;
    Start(p, {"--connect", QString::fromStdString(rx.Target()), "--record", QString::fromStdString(path), "--csv",
              "--stats"});
    ASSERT_TRUE(WaitFor([&] { return rx.Connections() == 1; }));
    rx.Send(BeastTraffic());
    rx.CloseClient();
    // The command comes back only once it has read the first connection to its end.
    ASSERT_TRUE(WaitFor([&] { return rx.Connections() == 2; }));
    const std::string out = Interrupt(p), err = p.readAllStandardError().toStdString();
    EXPECT_EQ(p.exitCode(), 0) << err;
    EXPECT_TRUE(TextHolds(out, kCsv));
    EXPECT_TRUE(TextHolds(out, "messages evaluated: 4\n"));
    EXPECT_TRUE(TextHolds(out, "connects: 2\ndrops: 1\nAVR text frames: 0 (messages 0)\n"
                               "Beast binary frames: 8 (messages 4)\nMode A/C skipped: 4\n"));
    for (const std::string said : {"connected to ", "Beast binary from "})
        EXPECT_TRUE(TextHolds(err, "ternwick-replay: " + said + rx.Target() + "\n"));
    EXPECT_TRUE(TextHolds(err, "ternwick-replay: retrying " + rx.Target() + " in 1 s\n"));

    // One stamped line per Mode S message; replayed at its pace it gives the same table.
    const std::string text = ReadWholeFile(path);
    EXPECT_EQ(std::count(text.begin(), text.end(), '@'), 4) << text;
    Expect("--csv --pace 1000 " + path, 0, {kCsv});
    // So do the frames in a file, told apart by their first byte or named.
    const std::string beast = WriteTemp("traffic.beast", BeastTraffic());
    for (const std::string format : {"", "--format beast "})
        Expect("--csv --stats " + format + beast, 0, {kCsv, "Beast binary frames: 8 (messages 4)\n"});
    // Where the recording cannot be written, the command does not start.
    ExpectRefused("--connect " + rx.Target() + " --record /nonexistent-ternwick/x.log",
                  "--record: Log file \"/nonexistent-ternwick/x.log\" cannot be written");
}

TEST(ReplayNetwork, NoConnectionMeansStatusTwo) {
    const std::string target = "127.0.0.1:" + std::to_string(FreePort());
    Expect("--connect " + target + " --for 0.5 --csv", 2,
           {"ternwick-replay: " + target + ": connection refused\n",
            "ternwick-replay: no connection to " + target + " was made\n", kCsvHead});
    // A name with an empty label is refused before any lookup: nothing leaves the machine.
    ExpectRefused("--connect bad..name:30005 --for 0.5", "bad..name:30005: host not found\n");
    ExpectRefused("--connect 127.0.0.1:30005 some.log", "--connect reads the network, not files: give one or the other\n");
    ExpectRefused("--connect ''", "Network source \"\": no port; write host:port");
}
