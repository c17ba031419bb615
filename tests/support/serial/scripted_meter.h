#pragma once
// The stand-in's meter at the far end of a scripted line: each read-record
// command written is answered at once with the model's stored record, cut to
// a chosen length when asked. For tests that need the port to fail in ways a
// real port cannot be made to (a read error that is not a lost line).

#include <map>
#include <memory>
#include <vector>

#include "meter_model.h"
#include "serial/scripted_device.h"

namespace serial {

class ScriptedMeter {
public:
    explicit ScriptedMeter(std::uint32_t recordSeed = 4) : model_(meter::Light{}, 0, recordSeed)
    {
        line->Answer([this](std::uint8_t byte) {
            const auto command = parser_.Feed(byte);
            if (!command || command->kind != meter::Command::Kind::ReadRecord)
                return std::vector<std::uint8_t>{};
            std::vector<std::uint8_t> reply =
                model_.StoredRecord(command->value1).value_or(std::vector<std::uint8_t>{});
            if (const auto cut = cuts_.find(command->value1); cut != cuts_.end() && cut->second < reply.size())
                reply.resize(cut->second);
            return reply;
        });
    }
    ~ScriptedMeter() { line->Answer(nullptr); }
    ScriptedMeter(const ScriptedMeter&) = delete;
    ScriptedMeter& operator=(const ScriptedMeter&) = delete;

    // Record `number` is answered with only its first `bytes` bytes. Call before the run.
    void CutReply(int number, std::size_t bytes) { cuts_[number] = bytes; }
    CommDeviceFactory Factory() const { return ScriptedFactory(line); }

    const std::shared_ptr<ScriptedLine> line = std::make_shared<ScriptedLine>();

private:
    meter::Meter model_;
    meter::CommandParser parser_;
    std::map<int, std::size_t> cuts_;
};

}  // namespace serial
