#include "editorsession.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "framework/client/boolparameter.h"
#include "framework/client/nullhostcommand.h"
#include "framework/client/parameter.h"
#include "framework/core/fatal.h"

namespace editorshot {

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A whole text that is one finite decimal number.
bool parseNumber(std::string_view text, double& out) {
    const std::string s(text);
    if (s.empty() || std::isspace(static_cast<unsigned char>(s.front()))) return false;
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() && std::isfinite(out);
}

std::string number(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return buffer;
}

}  // namespace

bool isEditorWidth(int width) noexcept {
    for (int w : {450, 675, 900, 1125, 1350, 1575, 1800})
        if (w == width) return true;
    return false;
}

EditorSession::EditorSession(int width, fw::IHostCommand* host) {
    if (!isEditorWidth(width)) fw::fatalError("EditorSession: not one of the editor's widths");
    if (host == nullptr) {
        ownHost_ = std::make_unique<fw::NullHostCommand>();
        host = ownHost_.get();
    }
    client_ = fw::makeClient<kestrin::Kestrin>(&kestrin::makeKestrinGUI);
    client_->setHostCommand(host);
    editor_ = dynamic_cast<kestrin::KestrinGUI*>(client_->openGraphicsFromHost());
    if (editor_ == nullptr) fw::fatalError("EditorSession: the client made no Kestrin editor");
    editor_->setWindowFactory(&factory_);
    editor_->openUI(nullptr, nullptr, client_.get(), fw::GraphicsBackend::autodetect);
    window_ = factory_.lastWindow();
    if (window_ == nullptr) fw::fatalError("EditorSession: the editor opened no window");
    if (window_->width() != width) resize(width);
    frame();
}

EditorSession::~EditorSession() {
    if (editor_ != nullptr) editor_->closeUI();
}

bool EditorSession::resize(int width) {
    if (!isEditorWidth(width)) return false;
    // The height of each size as the editor rounds it (675 x 338, 1125 x 563, ...).
    int w = width, h = width / 2 + 1;
    editor_->getNearestValidSize(&w, &h);
    if (w != width || !window_->requestResize(w, h, false)) return false;
    frame();
    return true;
}

fw::Status EditorSession::applyPreset(std::string_view nameOrNumber, std::string& message) {
    fw::PresetBank& bank = client_->presetBank();
    double number = 0;
    int index = -1;
    if (parseNumber(nameOrNumber, number)) {
        if (number == std::floor(number) && number >= 1 && number <= bank.numPresets()) index = int(number) - 1;
    } else {
        for (int i = 0; i < bank.numPresets(); ++i)
            if (lower(bank.preset(i)->name) == lower(nameOrNumber)) index = i;
    }
    if (index < 0 || !bank.loadPresetFromHost(index)) {
        message = "unknown preset \"" + std::string(nameOrNumber) + "\"; the presets are:";
        for (int i = 0; i < bank.numPresets(); ++i) {
            message.append(" ").append(std::to_string(i + 1)).append(" \"");
            message.append(bank.preset(i)->name).append("\"");
        }
        return fw::Status::failure("unknown preset");
    }
    return fw::Status::success();
}

fw::Status EditorSession::applySetting(std::string_view name, std::string_view value, std::string& message) {
    fw::Parameter* p = nullptr;
    for (const auto& candidate : client_->params())
        if (lower(candidate->name()) == lower(name)) p = candidate.get();
    if (p == nullptr) {
        message = "unknown parameter \"" + std::string(name) + "\"; the parameters are:";
        for (const auto& candidate : client_->params()) message.append(" \"").append(candidate->name()).append("\"");
        return fw::Status::failure("unknown parameter");
    }
    double normalized = 0;
    if (value.size() > 1 && (value.back() == 'n' || value.back() == 'N')) {
        if (!parseNumber(value.substr(0, value.size() - 1), normalized) || normalized < 0 || normalized > 1) {
            message = p->name() + ": a normalized value is a number from 0 to 1 followed by n";
            return fw::Status::failure("bad normalized value");
        }
    } else if (dynamic_cast<fw::BoolParameter*>(p) != nullptr) {
        const std::string v = lower(value);
        if (v == "yes" || v == "on" || v == "true" || v == "1") {
            normalized = 1;
        } else if (v == "no" || v == "off" || v == "false" || v == "0") {
            normalized = 0;
        } else {
            message = p->name() + " is on or off: use yes or no";
            return fw::Status::failure("bad switch value");
        }
    } else {
        double plain = 0;
        const fw::ParameterInfo info = p->describe();
        if (!parseNumber(value, plain) || plain < std::min(info.plainMin, info.plainMax) ||
            plain > std::max(info.plainMin, info.plainMax)) {
            message = p->name() + " takes a number from " + number(info.plainMin) + " to " + number(info.plainMax) +
                      (p->label().empty() ? "" : " " + p->label());
            return fw::Status::failure("bad value");
        }
        normalized = p->normalizedFromPlain(plain);
    }
    p->setFromHost(normalized);
    return fw::Status::success();
}

}  // namespace editorshot
