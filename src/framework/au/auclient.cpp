#include "framework/au/auclient.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>

namespace fw {

namespace au {

std::vector<AUBus> makeBuses(int channels, const char* prefix) {
    std::vector<AUBus> buses(static_cast<std::size_t>((std::max(channels, 0) + 1) / 2));
    for (std::size_t k = 0; k < buses.size(); ++k) {
        AUBus& bus = buses[k];
        bus.firstChannel = static_cast<int>(2 * k);
        bus.pluginChannels = std::min(2, channels - bus.firstChannel);
        std::snprintf(bus.label, sizeof bus.label, "%s #%d", prefix, static_cast<int>(k));
        bus.layoutTag = bus.pluginChannels == 2   ? kAudioChannelLayoutTag_Stereo
                        : bus.pluginChannels == 1 ? kAudioChannelLayoutTag_Mono
                                                  : (kAudioChannelLayoutTag_Unknown | UInt32(bus.pluginChannels));
    }
    return buses;
}

int knownChannelTotal(const std::vector<AUBus>& buses) noexcept {
    int total = -1;
    for (const AUBus& bus : buses) {
        if (bus.hostChannels < 0) continue;
        total = std::max(total, 0) + bus.hostChannels;
    }
    return total;
}

}  // namespace au

namespace {

// Render notifications a unit holds before its list has to grow.
constexpr std::size_t kRenderNotifyReserve = 8;

// MIDI status bytes whose messages carry one data byte.
bool hasOneDataByte(std::uint8_t status) noexcept {
    const std::uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0;
}

std::uint8_t clampMidi(Float32 value) noexcept {
    if (!(value > 0)) return 0;  // NaN too
    return value >= 127 ? 127 : static_cast<std::uint8_t>(value);
}

}  // namespace

AUClient::AUClient(std::unique_ptr<Client> client, ComponentInstance componentInstance,
                   AudioComponentInstance pluginInstance)
    : componentInstance_(componentInstance),
      pluginInstance_(pluginInstance),
      cf_(sys::coreFoundation()),
      cs_(sys::coreServices()),
      at_(sys::audioToolbox()),
      lastPulledSampleTime_(std::numeric_limits<double>::quiet_NaN()) {
    HostSettings initial;
    initial.sampleRate = 44100.0f;
    initial.maxFrames = 1024;
    initial.bypass = false;
    facade_ = std::make_unique<ClientFacade>(std::move(client), this, initial);
    inputBuses_ = au::makeBuses(facade_->maxInputs(), "input");
    outputBuses_ = au::makeBuses(facade_->maxOutputs(), "output");
    inputPtrs_.assign(static_cast<std::size_t>(facade_->maxInputs()), nullptr);
    outputPtrs_.assign(static_cast<std::size_t>(facade_->maxOutputs()), nullptr);
    renderNotifications_.reserve(kRenderNotifyReserve);
    // The mutexes are made on first use; make the ones render tries now, so that
    // the first render allocates nothing.
    mutex_.nativeHandle();
    notifyMutex_.nativeHandle();
}

AUClient::~AUClient() {
    // The client (and its editor) go first: the editor may still call the host command.
    facade_.reset();
}

AudioUnit AUClient::unitHandle() const noexcept {
    return componentInstance_ != nullptr ? componentInstance_ : pluginInstance_;
}

OSStatus AUClient::initialize() noexcept {
    std::lock_guard<UncheckedMutex> lock(hostMutex_);
    // A refused layout leaves the unit uninitialized.
    if (!facade_->fitsLegalLayout(au::knownChannelTotal(inputBuses_), au::knownChannelTotal(outputBuses_)))
        return kAudioUnitErr_FailedInitialization;
    initialized_ = true;
    return noErr;
}

OSStatus AUClient::uninitialize() noexcept {
    std::lock_guard<UncheckedMutex> lock(hostMutex_);
    initialized_ = false;
    return noErr;
}

OSStatus AUClient::getPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                   UInt32* outDataSize, Boolean* outWritable) noexcept {
    std::lock_guard<UncheckedMutex> lock(hostMutex_);
    PropertySize info;
    const OSStatus status = propertyInfo(id, scope, element, info);
    // A refused property reports size 0, so a host never sizes a buffer from stale data.
    if (outDataSize != nullptr) *outDataSize = status == noErr ? info.size : 0;
    if (status != noErr) return status;
    if (outWritable != nullptr) *outWritable = info.writable;
    return noErr;
}

OSStatus AUClient::getProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                               void* outData, UInt32* ioDataSize) noexcept {
    std::lock_guard<UncheckedMutex> lock(hostMutex_);
    PropertySize info;
    OSStatus status = propertyInfo(id, scope, element, info);
    if (status != noErr) {
        if (ioDataSize != nullptr) *ioDataSize = 0;
        return status;
    }
    if (outData == nullptr || ioDataSize == nullptr) return kAudio_ParamError;
    if (*ioDataSize < info.size) return kAudioUnitErr_InvalidPropertyValue;
    UInt32 size = info.size;
    status = readProperty(id, scope, element, outData, size);
    if (status == noErr) *ioDataSize = size;
    return status;
}

OSStatus AUClient::setProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                               const void* inData, UInt32 inDataSize) noexcept {
    if (id == kAudioUnitProperty_MakeConnection) return setConnection(scope, inData, inDataSize);
    std::lock_guard<UncheckedMutex> lock(hostMutex_);
    notifyPropertyListeners(id, scope);
    return writeProperty(id, scope, element, inData, inDataSize);
}

void AUClient::notifyPropertyListeners(AudioUnitPropertyID id, AudioUnitScope scope) noexcept {
    // By index: a listener may add or remove listeners (the lock is recursive).
    for (std::size_t i = 0; i < propertyListeners_.size(); ++i) {
        const PropertyListener l = propertyListeners_[i];
        if (l.id == id) l.proc(l.userData, unitHandle(), id, scope, 0);
    }
}

OSStatus AUClient::getParameter(AudioUnitParameterID id, AudioUnitParameterValue* outValue) noexcept {
    if (id >= UInt32(facade_->numParameters())) return kAudioUnitErr_InvalidParameter;
    if (outValue == nullptr) return kAudio_ParamError;
    double normalized = 0;
    if (!facade_->getParameter(int(id), normalized)) return kAudioUnitErr_InvalidParameter;
    *outValue = static_cast<AudioUnitParameterValue>(normalized);
    return noErr;
}

OSStatus AUClient::setParameter(AudioUnitParameterID id, AudioUnitParameterValue value) noexcept {
    if (id >= UInt32(facade_->numParameters()) || !facade_->setParameter(int(id), value))
        return kAudioUnitErr_InvalidParameter;
    return noErr;
}

OSStatus AUClient::scheduleParameters(const AudioUnitParameterEvent* events, UInt32 count) noexcept {
    if (events == nullptr && count > 0) return kAudio_ParamError;
    for (UInt32 i = 0; i < count; ++i) {
        const AudioUnitParameterEvent& e = events[i];
        if (e.eventType != kParameterEvent_Immediate) continue;  // ramps are not supported
        if (e.parameter >= UInt32(facade_->numParameters()) ||
            !facade_->setParameter(int(e.parameter), e.eventValues.immediate.value))
            return kAudioUnitErr_InvalidParameter;
    }
    return noErr;
}

OSStatus AUClient::reset() noexcept {
    facade_->resendSettings();
    return noErr;
}

OSStatus AUClient::addPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                       void* userData) noexcept {
    if (proc == nullptr) return kAudio_ParamError;
    std::lock_guard<UncheckedMutex> lock(hostMutex_);
    for (const PropertyListener& l : propertyListeners_)
        if (l.id == id && l.proc == proc) return noErr;
    propertyListeners_.push_back({id, proc, userData});
    return noErr;
}

OSStatus AUClient::removePropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc) noexcept {
    std::lock_guard<UncheckedMutex> lock(hostMutex_);
    for (std::size_t i = 0; i < propertyListeners_.size(); ++i) {
        if (propertyListeners_[i].id == id && propertyListeners_[i].proc == proc) {
            propertyListeners_[i] = propertyListeners_.back();
            propertyListeners_.pop_back();
            break;
        }
    }
    return noErr;
}

OSStatus AUClient::removePropertyListenerWithUserData(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                                      void* userData) noexcept {
    std::lock_guard<UncheckedMutex> lock(hostMutex_);
    for (std::size_t i = 0; i < propertyListeners_.size(); ++i) {
        const PropertyListener& l = propertyListeners_[i];
        if (l.id == id && l.proc == proc && l.userData == userData) {
            propertyListeners_[i] = propertyListeners_.back();
            propertyListeners_.pop_back();
            break;
        }
    }
    return noErr;
}

OSStatus AUClient::addRenderNotify(AURenderCallback proc, void* userData) noexcept {
    if (proc == nullptr) return kAudio_ParamError;
    std::lock_guard<UncheckedMutex> host(hostMutex_);  // one grower at a time
    {
        std::lock_guard<UncheckedMutex> lock(notifyMutex_);
        if (renderNotifications_.size() < renderNotifications_.capacity()) {
            renderNotifications_.push_back({proc, userData});  // within capacity: no allocation
            return noErr;
        }
    }
    // Full: build the longer list outside the lock render takes, swap it in, and free
    // the old one outside as well.
    std::vector<RenderNotify> grown;
    grown.reserve(2 * renderNotifications_.capacity() + kRenderNotifyReserve);
    {
        std::lock_guard<UncheckedMutex> lock(notifyMutex_);
        grown.assign(renderNotifications_.begin(), renderNotifications_.end());
        grown.push_back({proc, userData});
        renderNotifications_.swap(grown);
    }
    return noErr;
}

OSStatus AUClient::removeRenderNotify(AURenderCallback proc, void* userData) noexcept {
    std::lock_guard<UncheckedMutex> host(hostMutex_);
    std::lock_guard<UncheckedMutex> lock(notifyMutex_);
    for (auto it = renderNotifications_.begin(); it != renderNotifications_.end(); ++it) {
        if (it->proc == proc && it->userData == userData) {
            renderNotifications_.erase(it);
            break;
        }
    }
    return noErr;
}

OSStatus AUClient::midiEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offset) noexcept {
    MidiMessage m;
    m.offset = static_cast<std::int32_t>(offset & kMusicDeviceSampleFrameMask_SampleOffset);
    m.bytes[0] = static_cast<std::uint8_t>(status);
    m.bytes[1] = static_cast<std::uint8_t>(data1 & 0x7F);
    m.bytes[2] = static_cast<std::uint8_t>(data2 & 0x7F);
    m.length = hasOneDataByte(m.bytes[0]) ? 2 : 3;
    return facade_->queueMidi(m) ? OSStatus(noErr) : OSStatus(kAudioUnitErr_InvalidProperty);
}

OSStatus AUClient::sysEx(const UInt8*, UInt32) noexcept {
    return facade_->pluginInfo().receivesMIDI ? OSStatus(noErr) : OSStatus(kAudioUnitErr_InvalidProperty);
}

OSStatus AUClient::prepareOrReleaseInstrument() noexcept {
    return facade_->pluginInfo().receivesMIDI ? OSStatus(noErr) : OSStatus(kAudioUnitErr_InvalidProperty);
}

OSStatus AUClient::startNote(MusicDeviceGroupID group, NoteInstanceID* outNote, UInt32 offset,
                             const MusicDeviceNoteParams* params) noexcept {
    if (!facade_->pluginInfo().receivesMIDI) return kAudioUnitErr_InvalidProperty;
    if (params == nullptr) return kAudio_ParamError;
    MidiMessage m;
    m.offset = static_cast<std::int32_t>(offset & kMusicDeviceSampleFrameMask_SampleOffset);
    m.bytes[0] = static_cast<std::uint8_t>(0x90 | (group & 0x0F));
    m.bytes[1] = clampMidi(params->mPitch);
    m.bytes[2] = clampMidi(params->mVelocity);
    m.length = 3;
    if (outNote != nullptr) *outNote = m.bytes[1];  // the note is identified by its pitch
    (void)facade_->queueMidi(m);  // receivesMIDI was checked above
    return noErr;
}

OSStatus AUClient::stopNote(MusicDeviceGroupID group, NoteInstanceID note, UInt32 offset) noexcept {
    MidiMessage m;
    m.offset = static_cast<std::int32_t>(offset & kMusicDeviceSampleFrameMask_SampleOffset);
    m.bytes[0] = static_cast<std::uint8_t>(0x80 | (group & 0x0F));
    m.bytes[1] = static_cast<std::uint8_t>(note & 0x7F);
    m.bytes[2] = 0;
    m.length = 3;
    return facade_->queueMidi(m) ? OSStatus(noErr) : OSStatus(kAudioUnitErr_InvalidProperty);
}

ComponentResult AUClient::canDo(SInt16 selector) const noexcept {
    const PluginInfo& info = facade_->pluginInfo();
    if ((selector >= 1 && selector <= 7) || (selector >= 9 && selector <= 11) || (selector >= 14 && selector <= 18) ||
        (selector >= -4 && selector <= -1))
        return 1;
    if (selector == 47 || selector == 48) return info.sendsMIDI ? 1 : 0;
    if (selector >= kMusicDeviceMIDIEventSelect && selector <= kMusicDeviceStopNoteSelect)
        return info.receivesMIDI ? 1 : 0;
    return 0;
}

ComponentResult AUClient::version() const noexcept { return facade_->pluginInfo().publicVersion.packed(); }

void AUClient::sendParameterEvent(AudioUnitEventType type, int index) noexcept {
    AudioUnitEvent event{};
    event.mEventType = type;
    event.mArgument.mParameter.mAudioUnit = unitHandle();
    event.mArgument.mParameter.mParameterID = static_cast<AudioUnitParameterID>(index);
    event.mArgument.mParameter.mScope = kAudioUnitScope_Global;
    event.mArgument.mParameter.mElement = 0;
    at_.AUEventListenerNotify(nullptr, nullptr, &event);
}

void AUClient::beginParamEdit(int index) noexcept {
    sendParameterEvent(kAudioUnitEvent_BeginParameterChangeGesture, index);
}

void AUClient::paramAutomate(int index, float) noexcept {
    // Listeners read the value back from the unit.
    sendParameterEvent(kAudioUnitEvent_ParameterValueChange, index);
}

void AUClient::endParamEdit(int index) noexcept { sendParameterEvent(kAudioUnitEvent_EndParameterChangeGesture, index); }

bool AUClient::requestResize(int, int) noexcept { return true; }

DAW AUClient::getDAW() noexcept { return static_cast<DAW>(daw_.load(std::memory_order_relaxed)); }

PluginFormat AUClient::getPluginFormat() noexcept { return PluginFormat::auv2; }

void* AUClient::openEditorView() {
    IGraphics* existing = facade_->editor();
    if (existing != nullptr && editorOpened_) existing->closeUI();
    IGraphics* editor = facade_->openEditor();
    if (editor == nullptr) return nullptr;
    editorOpened_ = true;
    return editor->openUI(nullptr, nullptr, &facade_->client(), GraphicsBackend::cocoa);
}

}  // namespace fw
