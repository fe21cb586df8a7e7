// A program start reduced to its single-instance test.
//   app-instance-helper <dir> run [allow]   start; when this copy runs, print
//       "started", then print each command received as "command N" and end
//       after the first one (or after 20 s)
//   app-instance-helper <dir> start         start; exit 0 when handed over,
//       3 when busy, 4 on failure, 5 when this copy would run
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "app/core/singleInstance.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const std::string dir = argv[1];
    const std::string mode = argv[2];
    const bool allow = argc > 3 && std::strcmp(argv[3], "allow") == 0;
    SingleInstance instance("Orvan", dir);
    const SingleInstance::Result result = instance.start(allow);
    if (mode == "start") {
        switch (result) {
            case SingleInstance::HandedOver:
                return 0;
            case SingleInstance::Busy:
                return 3;
            case SingleInstance::Failed:
                return 4;
            case SingleInstance::Started:
                return 5;
        }
    }
    if (result != SingleInstance::Started) {
        std::printf("not started %d %s\n", static_cast<int>(result), instance.error().c_str());
        return 1;
    }
    std::mutex mutex;
    std::condition_variable received;
    unsigned command = 0;
    instance.setCommandHandler([&](unsigned id) {
        std::lock_guard<std::mutex> guard(mutex);
        command = id;
        received.notify_all();
    });
    std::printf("started\n");
    std::fflush(stdout);
    std::unique_lock<std::mutex> lock(mutex);
    received.wait_for(lock, std::chrono::seconds(20), [&] { return command != 0; });
    std::printf("command %u\n", command);
    std::fflush(stdout);
    return 0;
}
