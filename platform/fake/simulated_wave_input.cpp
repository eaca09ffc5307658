#include "platform/fake/simulated_wave_input.h"

#include <algorithm>
#include <cstring>

#include "platform/recording_format.h"

namespace sonocap::platform {

void SimulatedWaveInput::Note(const std::string& step) {
    if (journal != nullptr) journal->Add(step);
}

WaveResult SimulatedWaveInput::Open(WindowHandle notificationWindow) {
    Note("wave open");
    ++openCalls;
    if (open_) return kWaveDeviceFailed;
    if (openResult != kWaveOk) {
        openFailure_ = openFailureText;
        return openResult;
    }
    openFailure_.clear();
    open_ = true;
    running_ = false;
    window_ = notificationWindow;
    position_ = 0;
    headBytes_ = 0;
    losses_ = InputLoss{};
    return kWaveOk;
}

WaveResult SimulatedWaveInput::PrepareHeader(WaveHeader* header) {
    Note("wave prepare");
    if (!open_) return kWaveNotOpen;
    header->dwFlags |= kWaveHeaderPrepared;
    return kWaveOk;
}

WaveResult SimulatedWaveInput::UnprepareHeader(WaveHeader* header) {
    Note("wave unprepare");
    if (!open_) return kWaveNotOpen;
    if ((header->dwFlags & kWaveHeaderInQueue) != 0) return kWaveStillPlaying;
    header->dwFlags &= ~kWaveHeaderPrepared;
    return kWaveOk;
}

WaveResult SimulatedWaveInput::AddBuffer(WaveHeader* header) {
    Note("wave add");
    if (!open_) return kWaveNotOpen;
    header->dwFlags = (header->dwFlags | kWaveHeaderInQueue) & ~kWaveHeaderDone;
    header->dwBytesRecorded = 0;
    queue_.push_back(header);
    addedHeaders.push_back(header);
    return kWaveOk;
}

WaveResult SimulatedWaveInput::Start() {
    Note("wave start");
    if (!open_) return kWaveNotOpen;
    running_ = true;
    return kWaveOk;
}

void SimulatedWaveInput::ReturnFront(uint32_t bytes) {
    WaveHeader* header = queue_.front();
    queue_.pop_front();
    headBytes_ = 0;
    header->dwBytesRecorded = bytes;
    header->dwFlags = (header->dwFlags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
    Current<WindowSystem>().PostMessage(window_, kMmWimData, 0, reinterpret_cast<intptr_t>(header));
}

WaveResult SimulatedWaveInput::Stop() {
    Note("wave stop");
    if (!open_) return kWaveNotOpen;
    if (running_ && !queue_.empty() && headBytes_ > 0) ReturnFront(headBytes_);
    running_ = false;
    return kWaveOk;
}

WaveResult SimulatedWaveInput::Reset() {
    Note("wave reset");
    if (!open_) return kWaveNotOpen;
    running_ = false;
    while (!queue_.empty()) ReturnFront(headBytes_);
    return kWaveOk;
}

WaveResult SimulatedWaveInput::Close() {
    Note("wave close");
    if (!open_) return kWaveNotOpen;
    if (!queue_.empty()) return kWaveStillPlaying;
    open_ = false;
    running_ = false;
    window_ = kNoWindow;
    return kWaveOk;
}

int64_t SimulatedWaveInput::Deliver(const int16_t* frames, int64_t count) {
    if (!open_ || !running_ || count <= 0) return 0;
    int64_t stored = 0;
    while (stored < count && !queue_.empty()) {
        WaveHeader* head = queue_.front();
        const int64_t room = (head->dwBufferLength - headBytes_) / kBytesPerFrame;
        const int64_t n = std::min(room, count - stored);
        std::memcpy(head->lpData + headBytes_, frames + kChannels * stored,
                    static_cast<std::size_t>(n * kBytesPerFrame));
        headBytes_ += static_cast<uint32_t>(n * kBytesPerFrame);
        stored += n;
        if (headBytes_ + kBytesPerFrame > head->dwBufferLength) ReturnFront(headBytes_);
    }
    position_ += count;
    return stored;
}

int64_t SimulatedWaveInput::Deliver(const std::vector<int16_t>& frames) {
    return Deliver(frames.data(), static_cast<int64_t>(frames.size() / 2));
}

void SimulatedWaveInput::LoseInput(int64_t frames) {
    ++losses_.events;
    losses_.frames += frames;
    losses_.atFrame = position_;
}

bool SimulatedWaveInput::ReturnHead(uint32_t bytes) {
    if (!open_ || queue_.empty()) return false;
    ReturnFront(bytes);
    return true;
}

bool SimulatedWaveInput::ChooseInput(const std::string& name) {
    if (inputs.sources.empty()) return false;
    chosen.push_back(name);
    inputs.inUse = name;
    return true;
}

void SimulatedWaveInput::LoseInputDevice(const std::string& reason) {
    inputFailure = reason;
    if (open_) Current<WindowSystem>().PostMessage(window_, kMmWimInputLost, 0, 0);
}

}  // namespace sonocap::platform
