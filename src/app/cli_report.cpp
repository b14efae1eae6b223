#include "app/cli_report.h"

#include <cstdio>
#include <cstdlib>

#include "base/utf8.h"

namespace hw {

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!filled_.empty()) {
        if (filled_.back()) text_ += ',';
        filled_.back() = true;
    }
}

void JsonWriter::Key(const std::string& key) {
    BeforeValue();
    Quoted(key);
    text_ += ':';
    afterKey_ = true;
}

void JsonWriter::String(const std::string& value) {
    BeforeValue();
    Quoted(value);
}

void JsonWriter::Quoted(const std::string& value) {
    text_ += '"';
    for (std::size_t pos = 0; pos < value.size();) {
        const auto c = static_cast<unsigned char>(value[pos]);
        const std::size_t start = pos;
        char32_t point = 0;
        if (!NextCodePoint(value, pos, point)) {
            text_ += "\xEF\xBF\xBD";
            continue;
        }
        const std::size_t length = pos - start;
        pos = start;
        if (c == '"' || c == '\\') {
            text_ += '\\';
            text_ += static_cast<char>(c);
        } else if (c == '\n') {
            text_ += "\\n";
        } else if (c == '\t') {
            text_ += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            text_ += escaped;
        } else {
            text_.append(value, pos, length);
        }
        pos += length;
    }
    text_ += '"';
}

void JsonWriter::Number(long long value) {
    BeforeValue();
    text_ += std::to_string(value);
}

void JsonWriter::Unsigned(std::uint64_t value) {
    BeforeValue();
    text_ += std::to_string(value);
}

void JsonWriter::Bool(bool value) {
    BeforeValue();
    text_ += value ? "true" : "false";
}

void JsonWriter::Null() {
    BeforeValue();
    text_ += "null";
}

void JsonWriter::BeginObject() {
    BeforeValue();
    text_ += '{';
    filled_.push_back(false);
}

void JsonWriter::EndObject() {
    filled_.pop_back();
    text_ += '}';
}

void JsonWriter::BeginArray() {
    BeforeValue();
    text_ += '[';
    filled_.push_back(false);
}

void JsonWriter::EndArray() {
    filled_.pop_back();
    text_ += ']';
}

void JsonWriter::Strings(const std::vector<std::string>& values) {
    BeginArray();
    for (const std::string& value : values) String(value);
    EndArray();
}

std::string IsoTime(std::time_t when) {
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) return {};
    char text[40];
    if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local) == 0) return {};
    const long minutes = std::labs(local.tm_gmtoff / 60);
    const std::string hours = std::to_string(minutes / 60 % 100);
    const std::string rest = std::to_string(minutes % 60);
    return std::string(text) + (local.tm_gmtoff < 0 ? "-" : "+") + (hours.size() < 2 ? "0" : "") +
           hours + ":" + (rest.size() < 2 ? "0" : "") + rest;
}

std::string OutcomeWord(const CliReport& report) {
    if (report.look && report.exitCode == 0) return "look";
    switch (report.exitCode) {
        case 0:
            return "done";
        case 2:
            return "refused";
        case 3:
            return "damaged";
        case 4:
            return "nothing_to_back_up";
        default:
            return "failed";
    }
}

std::string ReportJson(const CliReport& r, const std::vector<std::string>& messages) {
    if (r.command == "list") return r.listing.empty() ? "" : r.listing + "\n";
    JsonWriter json;
    auto count = [&json](const char* key, const std::optional<std::size_t>& value) {
        json.Key(key);
        if (value) {
            json.Number(static_cast<long long>(*value));
        } else {
            json.Null();
        }
    };
    json.BeginObject();
    json.Key("command");
    json.String(r.command);
    json.Key("outcome");
    json.String(OutcomeWord(r));
    json.Key("exit_code");
    json.Number(r.exitCode);
    if (r.command == "status") {
        for (const auto& [key, value] : r.facts) {
            json.Key(key);
            json.String(value);
        }
        json.Key("settings_saved");
        r.settingsSaved ? json.Bool(*r.settingsSaved) : json.Null();
        json.Key("client_running");
        r.clientRunning ? json.Bool(*r.clientRunning) : json.Null();
        json.Key("autobackup");
        r.autobackup ? json.Bool(*r.autobackup) : json.Null();
        json.Key("interval_minutes");
        r.intervalMinutes ? json.Number(*r.intervalMinutes) : json.Null();
    } else {
        count("files", r.files);
        count("damaged", r.damaged);
        for (const auto& [key, list] : {std::pair{"kept", &r.kept},
                                        {"spare_only", &r.spareOnly},
                                        {"lost", &r.lost},
                                        {"refused", &r.refused},
                                        {"extras_failed", &r.extrasFailed}}) {
            json.Key(key);
            json.Strings(*list);
        }
        if (r.command == "restore") {
            json.Key("damaged_copies");
            json.Strings(r.damagedCopies);
            count("ahead_of_backup", r.aheadOfBackup);
            if (r.places) {
                json.Key("places");
                json.Strings(*r.places);
            }
        }
    }
    if (r.command != "backup") {
        json.Key("generations");
        json.BeginArray();
        for (const ReportedGeneration& g : r.generations) {
            json.BeginObject();
            json.Key("name");
            json.String(g.name);
            json.Key("folder");
            json.String(g.folder);
            json.Key("present");
            json.Bool(g.present);
            json.Key("time");
            g.present ? json.String(IsoTime(g.when)) : json.Null();
            count("files", g.files);
            count("damaged", g.damaged);
            json.EndObject();
        }
        json.EndArray();
    }
    json.Key("messages");
    json.Strings(messages);
    json.EndObject();
    return json.text() + "\n";
}

}  // namespace hw
