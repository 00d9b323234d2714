// examples/camera-driver.cpp -- a small camera driver written as a device driver uses the library, through
// the C++ interface (qxPropHandling.hpp) only. It builds its feature tree, lets callbacks "program the
// hardware" (it prints the register writes it would send), starts from the user's last settings and saves
// them again on exit.
//
//   camera-driver [--exposure US] [--gain DB] [--mode NAME] [--buffers STREAM COUNT]
//
// The tree: camera/serialNumber (read-only text), camera/exposure (Int32 microseconds with minimum, maximum
// and step), camera/gain (Double dB with limits), camera/mode (Int32 with a dictionary of trigger modes),
// and one nested list per stream (camera/stream0, camera/stream1) with its buffer count and pixel format.
//
// Settings: the user hive of the library's registry (Storage::Registry, Scope::CurrentUser), setting name
// "camera-driver". An export there is one registry transaction, so a crash while saving leaves the last
// saved setting whole. QXPROPHANDLING_REGISTRY_DIR chooses the hive's folder (the test runs use a private
// one); without it the hive is the user's ~/.config/qxPropHandling/user.hive.
//
// Callbacks: a write callback sees a value before the library checks and stores it, so it is where the
// hardware refuses what it cannot do (this sensor takes at most 12 dB of gain in hardware-trigger mode,
// a rule the limits cannot express). The registers are written by a change callback, which runs after the
// store and so sends the value as stored: snapped to the step and translated through the dictionary.
//
// Logging: the library has no exported log call. The driver prints its own lines on standard output; the
// library's logger records the library's own warnings and errors (a setting naming a feature this driver no
// longer has, for one) wherever the debug-flags file of the log folder sends them (`qxprop log config`
// shows where; QXPROPHANDLING_DEBUG_OUTPUT=stderr sends the system debug output to standard error). A write
// the library refuses is reported here with the library's code name and text.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "qxPropHandling.hpp"

namespace {

constexpr int kStreams = 2;
constexpr double kMaxGainTriggered = 12.0;
constexpr int kHardwareTrigger = 2;

struct Features {
    qx::Property serial, exposure, gain, mode;
    std::vector<qx::Property> buffers, pixelFormat;
};

Features buildTree(const qx::List& camera) {
    Features f;
    f.serial = camera.addProperty<std::string>("serialNumber", 1, QX_CF_READ_ACCESS);
    f.serial.set("QX-CAM-000123", 0, true); // read-only for users; the driver writes it with full rights

    f.exposure = camera.addProperty<int>("exposure", 1, qx::kReadWrite, "%d");
    f.exposure.setDocString("exposure time in microseconds");
    f.exposure.setLimit(qx::Limit::Minimum, 10);
    f.exposure.setLimit(qx::Limit::Maximum, 1000000);
    f.exposure.setLimit(qx::Limit::StepWidth, 10);
    f.exposure.set(10000);

    f.gain = camera.addProperty<double>("gain", 1, qx::kReadWrite, "%.1f");
    f.gain.setDocString("analogue gain in dB");
    f.gain.setLimit(qx::Limit::Minimum, 0.0);
    f.gain.setLimit(qx::Limit::Maximum, 24.0);
    f.gain.set(0.0);

    f.mode = camera.addProperty<int>("mode");
    f.mode.addTranslation("Continuous", 0);
    f.mode.addTranslation("SoftwareTrigger", 1);
    f.mode.addTranslation("HardwareTrigger", kHardwareTrigger);
    f.mode.set("Continuous");

    for (int s = 0; s < kStreams; ++s) {
        const qx::List stream = camera.addList("stream" + std::to_string(s));
        f.buffers.push_back(stream.addProperty<int>("bufferCount"));
        f.buffers.back().setLimit(qx::Limit::Minimum, 1);
        f.buffers.back().setLimit(qx::Limit::Maximum, 64);
        f.buffers.back().set(4);
        f.pixelFormat.push_back(stream.addProperty<std::string>("pixelFormat"));
        f.pixelFormat.back().set("Mono8");
    }
    return f;
}

// One line with every feature as the library formats it.
std::string state(const Features& f) {
    std::string line = "exposure=" + f.exposure.text() + " gain=" + f.gain.text() + " mode=" + f.mode.text();
    for (int s = 0; s < kStreams; ++s)
        line += " stream" + std::to_string(s) + ".bufferCount=" + f.buffers[s].text();
    return line;
}

void say(const std::string& line) { std::cout << "camera-driver: " << line << '\n'; }

// Applies one command-line change; a refusal is reported and the run goes on.
template <class T>
void change(const qx::Property& p, const T& value, const std::string& what) {
    try {
        p.set(value);
    } catch (const qx::Error& e) {
        say("refused " + what + ": " + e.name() + ": " + e.text());
    }
}

int run(int argc, char** argv) {
    qx::Library library;
    qx::List camera = qx::List::create("camera");
    camera.setContentDescriptor("qx-camera-v1"); // a setting of another kind of device is refused
    Features f = buildTree(camera);

    // The register each feature is sent to.
    std::map<HOBJ, std::string> registers = {
        {f.exposure.handle(), "EXPOSURE_US"}, {f.gain.handle(), "GAIN_CENTI_DB"}, {f.mode.handle(), "TRIGGER_MODE"}};
    for (int s = 0; s < kStreams; ++s) registers[f.buffers[s].handle()] = "DMA" + std::to_string(s) + "_BUFFERS";

    qx::Callback program = qx::Callback::onChange([&](const qx::Component& c) {
        const qx::Property p = c.property();
        const long long raw = p.valueType() == QX_VT_DOUBLE ? static_cast<long long>(p.get<double>() * 100 + 0.5)
                                                            : static_cast<long long>(p.get<int>());
        std::printf("hw: %-14s <- %lld\n", registers.at(c.handle()).c_str(), raw);
    });
    for (const auto& r : registers) program.attach(qx::Component(r.first));

    qx::Callback sensorRule = qx::Callback::onWrite([&](const qx::Event& e) {
        const double gain = e.value<double>();
        return !(f.mode.get<int>() == kHardwareTrigger && gain > kMaxGainTriggered);
    });
    sensorRule.attach(f.gain);

    const qx::Setting saved("camera-driver", qx::Storage::Registry, qx::Scope::CurrentUser);
    if (saved.exists()) {
        saved.update(camera); // the change callback sends what differs from the defaults
        say("loaded the user's settings");
    } else {
        say("no saved settings: starting from the defaults");
    }
    say("serial " + f.serial.get<std::string>());
    say("start: " + state(f));

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--exposure" && hasValue) change(f.exposure, std::string(argv[++i]), "exposure");
        else if (arg == "--gain" && hasValue) change(f.gain, std::string(argv[++i]), "gain");
        else if (arg == "--mode" && hasValue) change(f.mode, std::string(argv[++i]), "mode");
        else if (arg == "--buffers" && i + 2 < argc) {
            const int stream = std::atoi(argv[++i]);
            const std::string count = argv[++i];
            if (stream < 0 || stream >= kStreams) {
                say("no stream " + std::to_string(stream));
                return 2;
            }
            change(f.buffers[stream], count, "stream" + std::to_string(stream) + ".bufferCount");
        } else {
            std::cerr << "usage: camera-driver [--exposure US] [--gain DB] [--mode NAME] [--buffers STREAM COUNT]\n";
            return 2;
        }
    }
    // Users cannot write the serial number: the library refuses, and the driver says so.
    change(f.serial, std::string("forged"), "serialNumber");

    say("end: " + state(f));
    saved.exportList(camera);
    say("saved the settings to the user hive");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const qx::Error& e) {
        std::cerr << "camera-driver: " << e.what() << '\n';
        return 1;
    }
}
