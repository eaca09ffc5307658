#include "platform/pulse/pulse_wave_input.h"

#include <pulse/ext-stream-restore.h>
#include <pulse/pulseaudio.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/event_log.h"
#include "platform/recording_format.h"

namespace sonocap::platform {

namespace {

// 100 ms a piece: the server wakes us ten times a second, about twice a display tick, so
// the meters still see new frames on most ticks while the audio thread sleeps most of the
// time. Pieces of 50 ms cost half as much again; 200 ms leave every other tick without
// new frames, and the bars stutter.
constexpr uint32_t kFragmentFrames = kSampleRate / 10;
constexpr uint64_t kConnectWaitUs = 1'000'000;
constexpr uint64_t kStreamWaitUs = 3'000'000;
// A move that took the stream off a source which then goes away is the server rescuing the
// stream from an unplugged source, when the two come this close together.
constexpr uint64_t kRescueUs = 1'000'000;

// The key under which the server remembers our stream's source.
constexpr char kRestoreKey[] = "source-output-by-application-id:org.sonocap.Sonocap";

class Locked {
  public:
    explicit Locked(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~Locked() { pa_threaded_mainloop_unlock(loop_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

  private:
    pa_threaded_mainloop* loop_;
};

void Forget(pa_operation* operation) {
    if (operation != nullptr) pa_operation_unref(operation);
}

pa_sample_spec RecordingSampleFormat() {
    pa_sample_spec format{};
    format.format = PA_SAMPLE_S16LE;
    format.rate = kSampleRate;
    format.channels = kChannels;
    return format;
}

}  // namespace

uint32_t PulseWaveInput::FragmentBytes() {
    return kFragmentFrames * kBytesPerFrame;
}

PulseWaveInput::PulseWaveInput() {
    wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    loop_ = pa_threaded_mainloop_new();
    if (loop_ == nullptr) return;
    pa_threaded_mainloop_set_name(loop_, "sonocap-pulse");
    if (pa_threaded_mainloop_start(loop_) < 0) {
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
        return;
    }
    Locked lock(loop_);
    serverAnswered_ = Connect();
}

PulseWaveInput::~PulseWaveInput() {
    if (loop_ != nullptr) {
        {
            Locked lock(loop_);
            CloseStream();
            if (context_ != nullptr) {
                pa_context_set_state_callback(context_, nullptr, nullptr);
                pa_context_disconnect(context_);
                pa_context_unref(context_);
                context_ = nullptr;
            }
        }
        pa_threaded_mainloop_stop(loop_);
        pa_threaded_mainloop_free(loop_);
    }
    if (wake_ >= 0) close(wake_);
}

bool PulseWaveInput::WaitFor(bool (*done)(const PulseWaveInput&), uint64_t microseconds) {
    struct Timer {
        pa_threaded_mainloop* loop;
        bool expired = false;
    } timer{loop_};
    pa_time_event* event = pa_context_rttime_new(
        context_, pa_rtclock_now() + microseconds,
        [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
            auto* t = static_cast<Timer*>(data);
            t->expired = true;
            pa_threaded_mainloop_signal(t->loop, 0);
        },
        &timer);
    while (!done(*this) && !timer.expired) pa_threaded_mainloop_wait(loop_);
    if (event != nullptr) pa_threaded_mainloop_get_api(loop_)->time_free(event);
    return done(*this);
}

bool PulseWaveInput::Connect() {
    if (context_ != nullptr) {
        if (pa_context_get_state(context_) == PA_CONTEXT_READY) return true;
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    sources_.clear();
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Sonocap");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "org.sonocap.Sonocap");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "org.sonocap.Sonocap");
    context_ =
        pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "Sonocap", properties);
    pa_proplist_free(properties);
    if (context_ == nullptr) return false;
    pa_context_set_state_callback(context_, OnContextState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
    const bool ready = WaitFor(
        [](const PulseWaveInput& self) {
            const pa_context_state_t state = pa_context_get_state(self.context_);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        },
        kConnectWaitUs);
    if (!ready || pa_context_get_state(context_) != PA_CONTEXT_READY) return false;

    pa_context_set_subscribe_callback(
        context_,
        [](pa_context*, pa_subscription_event_type_t type, uint32_t index, void* data) {
            auto* self = static_cast<PulseWaveInput*>(data);
            const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
            const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
            if (facility == PA_SUBSCRIPTION_EVENT_SOURCE && kind == PA_SUBSCRIPTION_EVENT_REMOVE &&
                self->stream_ != nullptr && self->running_) {
                const bool inUse = index == self->sourceIndex_;
                const bool leftJustNow =
                    index == self->leftIndex_ && pa_rtclock_now() - self->leftAtUs_ < kRescueUs;
                if (inUse || leftJustNow) {
                    self->Fail("the input '" + self->DescriptionOf(index) + "' was unplugged");
                }
            }
            self->RefreshSources();
        },
        this);
    Forget(pa_context_subscribe(context_,
                                static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE |
                                                                    PA_SUBSCRIPTION_MASK_SERVER),
                                nullptr, nullptr));
    RefreshSources();
    // What the server remembers from the last run: the source chosen then.
    Forget(pa_ext_stream_restore_read(
        context_,
        [](pa_context*, const pa_ext_stream_restore_info* info, int eol, void* data) {
            if (eol != 0 || info == nullptr || std::strcmp(info->name, kRestoreKey) != 0) return;
            static_cast<PulseWaveInput*>(data)->chosen_ =
                info->device != nullptr ? info->device : "";
        },
        this));
    return true;
}

void PulseWaveInput::RefreshSources() {
    if (context_ == nullptr || pa_context_get_state(context_) != PA_CONTEXT_READY) return;
    Forget(pa_context_get_server_info(
        context_,
        [](pa_context*, const pa_server_info* info, void* data) {
            auto* self = static_cast<PulseWaveInput*>(data);
            if (info != nullptr && info->default_source_name != nullptr) {
                self->defaultSource_ = info->default_source_name;
            }
        },
        this));
    Forget(pa_context_get_source_info_list(
        context_,
        [](pa_context*, const pa_source_info* info, int eol, void* data) {
            auto* self = static_cast<PulseWaveInput*>(data);
            if (eol != 0) {
                std::sort(self->incoming_.begin(), self->incoming_.end(),
                          [](const Source& a, const Source& b) {
                              return a.source.description < b.source.description;
                          });
                self->sources_.swap(self->incoming_);
                self->incoming_.clear();
                return;
            }
            Source source;
            source.index = info->index;
            source.source.name = info->name != nullptr ? info->name : "";
            source.source.description =
                info->description != nullptr ? info->description : source.source.name;
            source.source.monitor = info->monitor_of_sink != PA_INVALID_INDEX;
            self->incoming_.push_back(std::move(source));
        },
        this));
}

void PulseWaveInput::OnContextState(pa_context* context, void* data) {
    auto* self = static_cast<PulseWaveInput*>(data);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
        self->Fail("the sound server stopped");
    }
    pa_threaded_mainloop_signal(self->loop_, 0);
}

void PulseWaveInput::OnStreamState(pa_stream* stream, void* data) {
    auto* self = static_cast<PulseWaveInput*>(data);
    if (pa_stream_get_state(stream) == PA_STREAM_FAILED) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(self->context_))) {
            self->Fail("the sound server stopped");
        } else {
            self->Fail(std::string("the sound server ended the recording: ") +
                       pa_strerror(pa_context_errno(self->context_)));
        }
    }
    pa_threaded_mainloop_signal(self->loop_, 0);
}

void PulseWaveInput::OnRead(pa_stream*, std::size_t readable, void* data) {
    static_cast<PulseWaveInput*>(data)->ReadAvailable(readable);
}

void PulseWaveInput::OnOverflow(pa_stream*, void* data) {
    static_cast<PulseWaveInput*>(data)->buffers_.NoteLoss(0);
}

void PulseWaveInput::OnMoved(pa_stream* stream, void* data) {
    auto* self = static_cast<PulseWaveInput*>(data);
    self->leftIndex_ = self->sourceIndex_;
    self->leftAtUs_ = pa_rtclock_now();
    self->sourceIndex_ = pa_stream_get_device_index(stream);
    const char* name = pa_stream_get_device_name(stream);
    std::string now = self->DescriptionOf(self->sourceIndex_);
    if (now.empty() && name != nullptr) now = name;
    self->Note("the input moved from '" + self->DescriptionOf(self->leftIndex_) + "' to '" + now +
               "' after " + std::to_string(self->buffers_.Position()) + " frames");
}

void PulseWaveInput::Fail(const std::string& reason) {
    if (stream_ == nullptr || !failure_.empty()) return;
    failure_ = reason;
    Wake();
}

void PulseWaveInput::Note(const std::string& line) {
    notes_.push_back("sonocap: " + line);
    Wake();
}

void PulseWaveInput::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = write(wake_, &one, sizeof one);
}

std::string PulseWaveInput::DescriptionOf(uint32_t index) const {
    for (const Source& s : sources_) {
        if (s.index == index) return s.source.description;
    }
    return {};
}

std::string PulseWaveInput::NameOf(uint32_t index) const {
    for (const Source& s : sources_) {
        if (s.index == index) return s.source.name;
    }
    return {};
}

bool PulseWaveInput::Exists(const std::string& name) const {
    return std::any_of(sources_.begin(), sources_.end(),
                       [&](const Source& s) { return s.source.name == name; });
}

WaveResult PulseWaveInput::Open(WindowHandle notificationWindow) {
    openFailure_.clear();
    if (loop_ == nullptr) {
        openFailure_ = "the sound server's client library could not start";
        return kWaveDeviceFailed;
    }
    std::vector<std::string> notes;
    WaveResult result = kWaveOk;
    {
        Locked lock(loop_);
        if (stream_ != nullptr) return kWaveDeviceFailed;
        if (!Connect()) {
            openFailure_ = "no sound server answered";
            return kWaveNoDevice;
        }
        buffers_.Clear();
        failure_.clear();
        running_ = false;
        leftIndex_ = UINT32_MAX;

        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "production");
        pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "org.sonocap.Sonocap");
        // The server remembers this program's source apart from other recorders'.
        pa_proplist_sets(properties, "module-stream-restore.id", kRestoreKey);
        const pa_sample_spec sampleFormat = RecordingSampleFormat();
        const std::string name = streamName_.empty() ? "Sonocap recording" : streamName_;
        stream_ =
            pa_stream_new_with_proplist(context_, name.c_str(), &sampleFormat, nullptr, properties);
        pa_proplist_free(properties);
        if (stream_ == nullptr) {
            openFailure_ = std::string("the sound server refused the recording: ") +
                           pa_strerror(pa_context_errno(context_));
            return kWaveDeviceFailed;
        }
        pa_stream_set_state_callback(stream_, OnStreamState, this);
        pa_stream_set_read_callback(stream_, OnRead, this);
        pa_stream_set_overflow_callback(stream_, OnOverflow, this);
        pa_stream_set_moved_callback(stream_, OnMoved, this);

        pa_buffer_attr attributes{};
        attributes.maxlength = UINT32_MAX;
        attributes.tlength = UINT32_MAX;
        attributes.prebuf = UINT32_MAX;
        attributes.minreq = UINT32_MAX;
        attributes.fragsize = FragmentBytes();
        // A chosen source that has gone: the default input, and the log says so.
        const char* device = nullptr;
        if (!chosen_.empty() && Exists(chosen_)) {
            device = chosen_.c_str();
        } else if (!chosen_.empty()) {
            notes.push_back("sonocap: the chosen input '" + chosen_ +
                            "' is not there; recording from the default input");
        }
        const auto flags =
            static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_record(stream_, device, &attributes, flags) < 0 ||
            !WaitFor(
                [](const PulseWaveInput& self) {
                    const pa_stream_state_t state = pa_stream_get_state(self.stream_);
                    return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
                },
                kStreamWaitUs) ||
            pa_stream_get_state(stream_) != PA_STREAM_READY) {
            const int error = pa_context_errno(context_);
            if (error == PA_ERR_NOENTITY) {
                openFailure_ = "the sound server has no input to record from";
                result = kWaveNoDevice;
            } else if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
                openFailure_ = "the sound server stopped";
                result = kWaveDeviceFailed;
            } else if (pa_stream_get_state(stream_) == PA_STREAM_CREATING) {
                openFailure_ = "the sound server did not set up the recording in time";
                result = kWaveDeviceFailed;
            } else {
                openFailure_ =
                    std::string("the sound server refused the recording: ") + pa_strerror(error);
                result = kWaveDeviceFailed;
            }
            CloseStream();
        } else {
            sourceIndex_ = pa_stream_get_device_index(stream_);
            window_ = notificationWindow;
        }
    }
    for (const std::string& line : notes) Current<EventLog>().Write(line);
    return result;
}

void PulseWaveInput::CloseStream() {
    if (stream_ == nullptr) return;
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    pa_stream_set_overflow_callback(stream_, nullptr, nullptr);
    pa_stream_set_moved_callback(stream_, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
    running_ = false;
}

WaveResult PulseWaveInput::PrepareHeader(WaveHeader* header) {
    if (window_ == kNoWindow) return kWaveNotOpen;
    return CaptureBuffers::Prepare(header);
}

WaveResult PulseWaveInput::UnprepareHeader(WaveHeader* header) {
    if (window_ == kNoWindow) return kWaveNotOpen;
    return CaptureBuffers::Unprepare(header);
}

WaveResult PulseWaveInput::AddBuffer(WaveHeader* header) {
    if (window_ == kNoWindow) return kWaveNotOpen;
    return buffers_.Add(header);
}

WaveResult PulseWaveInput::Start() {
    if (window_ == kNoWindow) return kWaveNotOpen;
    Locked lock(loop_);
    if (running_) return kWaveOk;
    if (stream_ == nullptr || !failure_.empty()) return kWaveDeviceFailed;
    Forget(pa_stream_cork(stream_, 0, nullptr, nullptr));
    running_ = true;
    // What arrived while the stream was corked was captured before the pause.
    ReadAvailable();
    return kWaveOk;
}

void PulseWaveInput::ReadAvailable(std::size_t readable) {
    if (stream_ == nullptr || !running_) return;
    // Each call into the library checks for a fork with a system call, so the pieces are taken
    // by the count the server announced rather than by asking again after each one.
    while (readable > 0) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(stream_, &data, &bytes) < 0 || bytes == 0) break;
        const auto frames = static_cast<int64_t>(bytes / kBytesPerFrame);
        // A hole: the server knows that these frames never reached it.
        if (data == nullptr) buffers_.NoteLoss(frames);
        if (buffers_.Fill(static_cast<const int16_t*>(data), frames)) Wake();
        pa_stream_drop(stream_);
        readable -= std::min(readable, bytes);
    }
}

void PulseWaveInput::ReadAvailable() {
    if (stream_ == nullptr || !running_) return;
    const std::size_t readable = pa_stream_readable_size(stream_);
    if (readable != static_cast<std::size_t>(-1)) ReadAvailable(readable);
}

void PulseWaveInput::DeliverNotifications() {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t ignored = read(wake_, &count, sizeof count);
    std::vector<std::string> notes;
    bool lost = false;
    if (loop_ != nullptr) {
        Locked lock(loop_);
        notes.swap(notes_);
        lost = !failure_.empty();
    }
    for (const std::string& line : notes) Current<EventLog>().Write(line);
    if (window_ == kNoWindow) return;
    buffers_.Post(window_);
    if (lost && !lossPosted_) {
        lossPosted_ = true;
        Current<WindowSystem>().PostMessage(window_, kMmWimInputLost, 0, 0);
    }
}

WaveResult PulseWaveInput::Stop() {
    if (window_ == kNoWindow) return kWaveNotOpen;
    {
        Locked lock(loop_);
        if (!running_) return kWaveOk;
        // What the server has delivered so far is stored; the cork itself is not waited for.
        ReadAvailable();
        if (stream_ != nullptr && PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
            Forget(pa_stream_cork(stream_, 1, nullptr, nullptr));
        }
        running_ = false;
        buffers_.ReturnCurrent(false);
    }
    buffers_.Post(window_);
    return kWaveOk;
}

WaveResult PulseWaveInput::Reset() {
    if (window_ == kNoWindow) return kWaveNotOpen;
    {
        Locked lock(loop_);
        if (running_ && stream_ != nullptr && PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
            Forget(pa_stream_cork(stream_, 1, nullptr, nullptr));
        }
        running_ = false;
        buffers_.ReturnCurrent(true);
        buffers_.ReturnQueued();
    }
    buffers_.Post(window_);
    return kWaveOk;
}

WaveResult PulseWaveInput::Close() {
    if (window_ == kNoWindow) return kWaveNotOpen;
    Locked lock(loop_);
    if (buffers_.Filling()) return kWaveStillPlaying;
    CloseStream();
    window_ = kNoWindow;
    lossPosted_ = false;
    return kWaveOk;
}

int64_t PulseWaveInput::Position() {
    return buffers_.Position();
}

InputLoss PulseWaveInput::Losses() const {
    return buffers_.Losses();
}

std::string PulseWaveInput::InputFailure() const {
    if (loop_ == nullptr) return {};
    Locked lock(loop_);
    return failure_;
}

InputChoice PulseWaveInput::Inputs() const {
    InputChoice choice;
    if (loop_ == nullptr) return choice;
    Locked lock(loop_);
    for (const Source& s : sources_) choice.sources.push_back(s.source);
    choice.inUse = chosen_;
    if (stream_ != nullptr && window_ != kNoWindow) {
        const std::string recording = NameOf(sourceIndex_);
        // A recording on the default input shows as such while that is the user's choice.
        if (!(chosen_.empty() && recording == defaultSource_)) choice.inUse = recording;
    } else if (!Exists(chosen_)) {
        choice.inUse.clear();
    }
    return choice;
}

void PulseWaveInput::Remember(const std::string& name) {
    // The server's entry for this program is read first, so that the volume and mute it
    // remembers stay as they are; only the source changes.
    remembering_ = name;
    Forget(pa_ext_stream_restore_read(
        context_,
        [](pa_context* context, const pa_ext_stream_restore_info* info, int eol, void* data) {
            auto* self = static_cast<PulseWaveInput*>(data);
            if (eol == 0 && (info == nullptr || std::strcmp(info->name, kRestoreKey) != 0)) return;
            if (eol != 0 && self->remembered_) {
                self->remembered_ = false;
                return;
            }
            pa_ext_stream_restore_info entry{};
            if (eol == 0) {
                entry = *info;
                self->remembered_ = true;
            }
            entry.name = kRestoreKey;
            entry.device = self->remembering_.empty() ? nullptr : self->remembering_.c_str();
            Forget(pa_ext_stream_restore_write(context, PA_UPDATE_REPLACE, &entry, 1, 1, nullptr,
                                               nullptr));
        },
        this));
}

bool PulseWaveInput::ChooseInput(const std::string& name) {
    if (loop_ == nullptr) return false;
    Locked lock(loop_);
    if (context_ == nullptr || pa_context_get_state(context_) != PA_CONTEXT_READY) return false;
    chosen_ = name;
    if (stream_ != nullptr && PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
        const std::string target = name.empty() ? defaultSource_ : name;
        Forget(pa_context_move_source_output_by_name(
            context_, pa_stream_get_index(stream_), target.c_str(),
            [](pa_context* context, int success, void* data) {
                if (success == 0) {
                    static_cast<PulseWaveInput*>(data)->Note(
                        std::string("the input could not be changed: ") +
                        pa_strerror(pa_context_errno(context)));
                }
            },
            this));
    }
    Remember(name);
    return true;
}

}  // namespace sonocap::platform
