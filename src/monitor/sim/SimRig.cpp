#include "monitor/sim/SimRig.h"

#include "monitor/ErrorReport.h"

namespace telvane::sim {

TSimRig::TSimRig(const std::filesystem::path& folder, ISettingsStore* store,
                 std::int64_t startSeconds)
    : Clock(Scheduler, startSeconds), Timer1(Scheduler,
                                             [this] {
                                                 const bool result = !Monitor->IsCheckPending();
                                                 Handle([this] { Monitor->Timer1Timer(); });
                                                 ResultPhases += result ? 1 : 0;
                                             }),
      Port(Scheduler), Location(folder) {
    TMonitorEnvironment environment{View, Timer1, Port, Clock, Location, store ? *store : Settings,
                                    *this};
    environment.CallSink = &CallSink;
    Monitor = std::make_unique<TCallerMonitor>(environment);
    Port.OnReceive = [this](std::uint16_t size) { Monitor->Comm1CommReceive(size); };
}

TSimRig::~TSimRig() {
    Port.OnReceive = nullptr;
    Port.Close();
}

void TSimRig::AnswerWithListing() {
    Port.Responder = [this](std::uint8_t) {
        TSimReply reply;
        reply.Bytes = Adapter.Listing();
        return std::optional<TSimReply>(reply);
    };
}

bool TSimRig::RunUntilResult(std::uint64_t timeLimit) {
    const int before = ResultPhases;
    return Scheduler.RunUntilTrue([&] { return ResultPhases > before; }, timeLimit);
}

void TSimRig::PostReceived() {
    // The window thread picks the bytes up as its next event.
    Scheduler.PostAt(Scheduler.Now(), [this] { Monitor->DrainReceived(); });
}

} // namespace telvane::sim
