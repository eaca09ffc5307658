#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/capture_buffers.h"
#include "platform/wave_input.h"

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

namespace sonocap::platform {

// The input of the desktop's sound server (PulseAudio, or PipeWire through its PulseAudio
// service), through libpulse's threaded main loop. The loop's thread copies what the server
// delivers into the head of the queued buffers, hands filled buffers back through a lock-free
// queue and wakes the event loop through an eventfd, as the PortAudio layer does; the
// notifications themselves are posted on the event loop's thread by DeliverNotifications.
//
// The connection to the server stays open between recordings: it keeps the list of sources
// that the window offers, and it tells at once when the source in use is unplugged or the
// server goes away. No call on the event loop's thread waits for the server, except Open,
// which waits at most a few seconds for the stream to be set up.
class PulseWaveInput final : public WaveInput {
  public:
    // Starts the loop's thread and connects, waiting up to a second for the server.
    PulseWaveInput();
    ~PulseWaveInput() override;
    PulseWaveInput(const PulseWaveInput&) = delete;
    PulseWaveInput& operator=(const PulseWaveInput&) = delete;

    // Whether a sound server answered when the object was made.
    bool ServerAnswered() const { return serverAnswered_; }

    WaveResult Open(WindowHandle notificationWindow) override;
    WaveResult PrepareHeader(WaveHeader* header) override;
    WaveResult UnprepareHeader(WaveHeader* header) override;
    WaveResult AddBuffer(WaveHeader* header) override;
    WaveResult Start() override;
    WaveResult Stop() override;
    WaveResult Reset() override;
    WaveResult Close() override;
    int64_t Position() override;
    InputLoss Losses() const override;
    std::string OpenFailure() const override { return openFailure_; }
    int NotificationDescriptor() const override { return wake_; }
    void DeliverNotifications() override;
    void NameStream(const std::string& name) override { streamName_ = name; }
    std::string InputFailure() const override;
    InputChoice Inputs() const override;
    bool ChooseInput(const std::string& name) override;

    // What the server asks of the stream: the size of the pieces it delivers, in bytes.
    static uint32_t FragmentBytes();

  private:
    struct Source {
        uint32_t index = 0;
        InputSource source;
    };

    // Everything below runs with the loop locked (callbacks hold the lock already).
    bool Connect();
    bool WaitFor(bool (*done)(const PulseWaveInput&), uint64_t microseconds);
    void RefreshSources();
    // What the server has delivered, into the buffers: `readable` bytes, or all there is.
    void ReadAvailable(std::size_t readable);
    void ReadAvailable();
    void Fail(const std::string& reason);
    void Note(const std::string& line);
    void Wake();
    std::string DescriptionOf(uint32_t index) const;
    std::string NameOf(uint32_t index) const;
    bool Exists(const std::string& name) const;
    void Remember(const std::string& name);
    void CloseStream();

    static void OnContextState(pa_context* context, void* self);
    static void OnStreamState(pa_stream* stream, void* self);
    static void OnRead(pa_stream* stream, std::size_t bytes, void* self);
    static void OnOverflow(pa_stream* stream, void* self);
    static void OnMoved(pa_stream* stream, void* self);

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    bool serverAnswered_ = false;
    int wake_ = -1;

    // Set on the event loop's thread only.
    WindowHandle window_ = kNoWindow;
    std::string openFailure_;
    std::string streamName_;
    bool lossPosted_ = false;

    // With the loop locked.
    bool running_ = false;
    std::vector<Source> sources_;
    std::vector<Source> incoming_;  // the list being received
    std::string defaultSource_;
    std::string chosen_;               // the user's choice; empty for the default input
    uint32_t sourceIndex_ = 0;         // the stream's source while the stream is up
    uint32_t leftIndex_ = UINT32_MAX;  // the source a move took the stream away from
    uint64_t leftAtUs_ = 0;            // when, on the server's clock
    std::string failure_;              // why the input was lost; empty while it is not
    std::vector<std::string> notes_;   // log lines for the event loop's thread
    std::string remembering_;          // the source being written to the server's memory
    bool remembered_ = false;          // written from the entry that was there

    // Filled by the loop's thread with the loop locked.
    CaptureBuffers buffers_;
};

}  // namespace sonocap::platform
