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
    : client_(std::move(client)),
      componentInstance_(componentInstance),
      pluginInstance_(pluginInstance),
      cf_(sys::coreFoundation()),
      cs_(sys::coreServices()),
      at_(sys::audioToolbox()),
      lastPulledSampleTime_(std::numeric_limits<double>::quiet_NaN()) {
    inputBuses_ = au::makeBuses(client_->maxInputs(), "input");
    outputBuses_ = au::makeBuses(client_->maxOutputs(), "output");
    inputPtrs_.assign(static_cast<std::size_t>(client_->maxInputs()), nullptr);
    outputPtrs_.assign(static_cast<std::size_t>(client_->maxOutputs()), nullptr);
    compactIn_.reserve(inputPtrs_.size());
    compactOut_.reserve(outputPtrs_.size());
    pendingMidi_.reserve(messages_.capacity());
    client_->setHostCommand(this);
    pushSettings();
}

AUClient::~AUClient() {
    // The client (and its editor) go first: the editor may still call the host command.
    client_.reset();
}

AudioUnit AUClient::unitHandle() const noexcept {
    return componentInstance_ != nullptr ? componentInstance_ : pluginInstance_;
}

void AUClient::pushSettings() noexcept {
    AudioThreadMessage message;
    message.kind = AudioThreadMessage::Kind::settingsChanged;
    {
        std::lock_guard<UncheckedMutex> lock(mutex_);
        message.maxFrames = maxFrames_;
        message.sampleRate = sampleRate_;
        message.bypass = bypass_;
    }
    messages_.pushBack(message);
}

bool AUClient::queueMidi(const MidiMessage& midi) noexcept {
    if (!client_->pluginInfo().receivesMIDI) return false;
    AudioThreadMessage message;
    message.kind = AudioThreadMessage::Kind::midi;
    message.midi = midi;
    messages_.pushBack(message);
    return true;
}

OSStatus AUClient::initialize() noexcept {
    std::lock_guard<UncheckedMutex> lock(mutex_);
    const int inputs = au::knownChannelTotal(inputBuses_);
    const int outputs = au::knownChannelTotal(outputBuses_);
    bool legal = inputs < 0 && outputs < 0;
    for (const LegalIO& io : client_->legalIOs())
        legal = legal || ((inputs < 0 || io.numInputChannels == inputs) && (outputs < 0 || io.numOutputChannels == outputs));
    // A refused layout leaves the unit uninitialized.
    if (!legal) return kAudioUnitErr_FailedInitialization;
    initialized_ = true;
    return noErr;
}

OSStatus AUClient::uninitialize() noexcept {
    std::lock_guard<UncheckedMutex> lock(mutex_);
    initialized_ = false;
    return noErr;
}

OSStatus AUClient::getPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                   UInt32* outDataSize, Boolean* outWritable) noexcept {
    std::lock_guard<UncheckedMutex> lock(mutex_);
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
    std::lock_guard<UncheckedMutex> lock(mutex_);
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
    std::lock_guard<UncheckedMutex> lock(mutex_);
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
    Parameter* p = id < UInt32(client_->numParams()) ? client_->param(int(id)) : nullptr;
    if (p == nullptr) return kAudioUnitErr_InvalidParameter;
    if (outValue == nullptr) return kAudio_ParamError;
    *outValue = static_cast<AudioUnitParameterValue>(p->getForHost());
    return noErr;
}

OSStatus AUClient::setParameter(AudioUnitParameterID id, AudioUnitParameterValue value) noexcept {
    if (id >= UInt32(client_->numParams())) return kAudioUnitErr_InvalidParameter;
    client_->setParameterFromHost(int(id), value);
    return noErr;
}

OSStatus AUClient::scheduleParameters(const AudioUnitParameterEvent* events, UInt32 count) noexcept {
    if (events == nullptr && count > 0) return kAudio_ParamError;
    for (UInt32 i = 0; i < count; ++i) {
        const AudioUnitParameterEvent& e = events[i];
        if (e.eventType != kParameterEvent_Immediate) continue;  // ramps are not supported
        if (e.parameter >= UInt32(client_->numParams())) return kAudioUnitErr_InvalidParameter;
        client_->setParameterFromHost(int(e.parameter), e.eventValues.immediate.value);
    }
    return noErr;
}

OSStatus AUClient::reset() noexcept {
    pushSettings();
    return noErr;
}

OSStatus AUClient::addPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                       void* userData) noexcept {
    if (proc == nullptr) return kAudio_ParamError;
    std::lock_guard<UncheckedMutex> lock(mutex_);
    for (const PropertyListener& l : propertyListeners_)
        if (l.id == id && l.proc == proc) return noErr;
    propertyListeners_.push_back({id, proc, userData});
    return noErr;
}

OSStatus AUClient::removePropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc) noexcept {
    std::lock_guard<UncheckedMutex> lock(mutex_);
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
    std::lock_guard<UncheckedMutex> lock(mutex_);
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
    std::lock_guard<UncheckedMutex> lock(notifyMutex_);
    renderNotifications_.push_back({proc, userData});
    return noErr;
}

OSStatus AUClient::removeRenderNotify(AURenderCallback proc, void* userData) noexcept {
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
    return queueMidi(m) ? OSStatus(noErr) : OSStatus(kAudioUnitErr_InvalidProperty);
}

OSStatus AUClient::sysEx(const UInt8*, UInt32) noexcept {
    return client_->pluginInfo().receivesMIDI ? OSStatus(noErr) : OSStatus(kAudioUnitErr_InvalidProperty);
}

OSStatus AUClient::prepareOrReleaseInstrument() noexcept {
    return client_->pluginInfo().receivesMIDI ? OSStatus(noErr) : OSStatus(kAudioUnitErr_InvalidProperty);
}

OSStatus AUClient::startNote(MusicDeviceGroupID group, NoteInstanceID* outNote, UInt32 offset,
                             const MusicDeviceNoteParams* params) noexcept {
    if (!client_->pluginInfo().receivesMIDI) return kAudioUnitErr_InvalidProperty;
    if (params == nullptr) return kAudio_ParamError;
    MidiMessage m;
    m.offset = static_cast<std::int32_t>(offset & kMusicDeviceSampleFrameMask_SampleOffset);
    m.bytes[0] = static_cast<std::uint8_t>(0x90 | (group & 0x0F));
    m.bytes[1] = clampMidi(params->mPitch);
    m.bytes[2] = clampMidi(params->mVelocity);
    m.length = 3;
    if (outNote != nullptr) *outNote = m.bytes[1];  // the note is identified by its pitch
    queueMidi(m);
    return noErr;
}

OSStatus AUClient::stopNote(MusicDeviceGroupID group, NoteInstanceID note, UInt32 offset) noexcept {
    MidiMessage m;
    m.offset = static_cast<std::int32_t>(offset & kMusicDeviceSampleFrameMask_SampleOffset);
    m.bytes[0] = static_cast<std::uint8_t>(0x80 | (group & 0x0F));
    m.bytes[1] = static_cast<std::uint8_t>(note & 0x7F);
    m.bytes[2] = 0;
    m.length = 3;
    return queueMidi(m) ? OSStatus(noErr) : OSStatus(kAudioUnitErr_InvalidProperty);
}

ComponentResult AUClient::canDo(SInt16 selector) const noexcept {
    const PluginInfo& info = client_->pluginInfo();
    if ((selector >= 1 && selector <= 7) || (selector >= 9 && selector <= 11) || (selector >= 14 && selector <= 18) ||
        (selector >= -4 && selector <= -1))
        return 1;
    if (selector == 47 || selector == 48) return info.sendsMIDI ? 1 : 0;
    if (selector >= kMusicDeviceMIDIEventSelect && selector <= kMusicDeviceStopNoteSelect)
        return info.receivesMIDI ? 1 : 0;
    return 0;
}

ComponentResult AUClient::version() const noexcept { return client_->pluginInfo().publicVersion.packed(); }

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
    IGraphics* existing = client_->graphics();
    if (existing != nullptr && editorOpened_) existing->closeUI();
    IGraphics* editor = client_->openGraphicsFromHost();
    if (editor == nullptr) return nullptr;
    editorOpened_ = true;
    return editor->openUI(nullptr, nullptr, client_.get(), GraphicsBackend::cocoa);
}

}  // namespace fw
