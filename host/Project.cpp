#include "host/Project.h"

#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>

#include "host/HostError.h"
#include "host/HostImpl.h"

namespace host {
namespace {

constexpr const char* kHeader = "Tovrin project 1";

struct Kind {
    PF_ParamType type;
    const char* word;
};
constexpr Kind kKinds[] = {
    {PF_Param_SLIDER, "slider"},     {PF_Param_FIX_SLIDER, "fixed"},   {PF_Param_ANGLE, "angle"},
    {PF_Param_CHECKBOX, "checkbox"}, {PF_Param_COLOR, "color"},        {PF_Param_POINT, "point"},
    {PF_Param_POPUP, "popup"},       {PF_Param_FLOAT_SLIDER, "float"}, {PF_Param_POINT_3D, "point3d"}};

const char* WordOf(PF_ParamType type) {
    for (const Kind& k : kKinds)
        if (k.type == type)
            return k.word;
    return nullptr;
}

// Doubles as the shortest text that reads back exactly, whatever the process's locale.
std::string Text(double v) {
    char buffer[64];
    auto r = std::to_chars(buffer, buffer + sizeof(buffer), v);
    return std::string(buffer, r.ptr);
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (std::uint8_t b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

class LineReader {
public:
    LineReader(const std::string& line, int number) : in_(line), number_(number) {}
    [[noreturn]] void Fail(const std::string& why) const {
        throw HostError("project line " + std::to_string(number_) + ": " + why);
    }
    std::string Word() {
        std::string w;
        if (!(in_ >> w))
            Fail("a value is missing");
        return w;
    }
    template <class T>
    T Number() {
        std::string w = Word();
        T v{};
        int base = 10;
        const char* begin = w.data();
        if constexpr (std::is_integral_v<T>) {
            if (w.size() > 2 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X')) {
                base = 16;
                begin += 2;
            }
        }
        std::from_chars_result r;
        if constexpr (std::is_integral_v<T>)
            r = std::from_chars(begin, w.data() + w.size(), v, base);
        else
            r = std::from_chars(begin, w.data() + w.size(), v);
        if (r.ec != std::errc() || r.ptr != w.data() + w.size())
            Fail("'" + w + "' is not a number");
        return v;
    }
    void End() {
        std::string rest;
        if (in_ >> rest)
            Fail("unexpected '" + rest + "'");
    }
    std::string Rest() {
        std::string rest;
        std::getline(in_ >> std::ws, rest);
        return rest;
    }

private:
    std::istringstream in_;
    int number_;
};

A_u_char Byte(LineReader& r) {
    int v = r.Number<int>();
    if (v < 0 || v > 255)
        r.Fail("a colour channel outside 0..255");
    return A_u_char(v);
}

} // namespace

bool ProjectStoresKind(PF_ParamType type) {
    return WordOf(type) != nullptr;
}

std::string WriteProjectText(const Project& p) {
    std::ostringstream s;
    s << kHeader << "\n";
    s << "effect " << p.matchName << "\n";
    s << "version 0x" << std::hex << p.version << std::dec << "\n";
    for (const ProjectValue& v : p.values) {
        const char* word = WordOf(v.type);
        if (!word)
            continue;
        s << "param " << v.id << " " << word;
        const PF_ParamDefUnion& u = v.value;
        switch (v.type) {
        case PF_Param_SLIDER:
            s << " " << u.sd.value;
            break;
        case PF_Param_FIX_SLIDER:
            s << " " << u.fd.value;
            break;
        case PF_Param_ANGLE:
            s << " " << u.ad.value;
            break;
        case PF_Param_CHECKBOX:
            s << " " << u.bd.value;
            break;
        case PF_Param_POPUP:
            s << " " << u.pd.value;
            break;
        case PF_Param_COLOR:
            s << " " << int(u.cd.value.alpha) << " " << int(u.cd.value.red) << " " << int(u.cd.value.green)
              << " " << int(u.cd.value.blue);
            break;
        case PF_Param_POINT:
            s << " " << u.td.x_value << " " << u.td.y_value;
            break;
        case PF_Param_FLOAT_SLIDER:
            s << " " << Text(u.fs_d.value);
            break;
        case PF_Param_POINT_3D:
            s << " " << Text(u.point3d_d.x_value) << " " << Text(u.point3d_d.y_value) << " "
              << Text(u.point3d_d.z_value);
            break;
        default:
            break;
        }
        s << "\n";
    }
    s << "sequence " << Hex(p.sequenceData) << "\n";
    return s.str();
}

Project ReadProjectText(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    int number = 0;
    if (!std::getline(in, line) || (++number, line != kHeader))
        throw HostError("not a project file: the first line is not \"" + std::string(kHeader) + "\"");
    Project p;
    bool sawEffect = false;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        LineReader r(line, number);
        std::string key = r.Word();
        if (key == "effect") {
            p.matchName = r.Rest();
            sawEffect = true;
        } else if (key == "version") {
            p.version = r.Number<A_u_long>();
            r.End();
        } else if (key == "param") {
            ProjectValue v;
            v.id = r.Number<A_long>();
            std::string word = r.Word();
            for (const Kind& k : kKinds)
                if (word == k.word)
                    v.type = k.type;
            PF_ParamDefUnion& u = v.value;
            switch (v.type) {
            case PF_Param_SLIDER:
                u.sd.value = r.Number<A_long>();
                break;
            case PF_Param_FIX_SLIDER:
                u.fd.value = r.Number<A_long>();
                break;
            case PF_Param_ANGLE:
                u.ad.value = r.Number<A_long>();
                break;
            case PF_Param_CHECKBOX:
                u.bd.value = r.Number<A_long>();
                break;
            case PF_Param_POPUP:
                u.pd.value = r.Number<A_long>();
                break;
            case PF_Param_COLOR:
                u.cd.value.alpha = Byte(r);
                u.cd.value.red = Byte(r);
                u.cd.value.green = Byte(r);
                u.cd.value.blue = Byte(r);
                break;
            case PF_Param_POINT:
                u.td.x_value = r.Number<A_long>();
                u.td.y_value = r.Number<A_long>();
                break;
            case PF_Param_FLOAT_SLIDER:
                u.fs_d.value = r.Number<double>();
                break;
            case PF_Param_POINT_3D:
                u.point3d_d.x_value = r.Number<double>();
                u.point3d_d.y_value = r.Number<double>();
                u.point3d_d.z_value = r.Number<double>();
                break;
            default:
                r.Fail("unknown parameter kind '" + word + "'");
            }
            r.End();
            p.values.push_back(v);
        } else if (key == "sequence") {
            std::string hex = r.Rest();
            if (hex.size() % 2)
                r.Fail("sequence data of an odd number of digits");
            for (std::size_t i = 0; i < hex.size(); i += 2) {
                unsigned v = 0;
                auto res = std::from_chars(hex.data() + i, hex.data() + i + 2, v, 16);
                if (res.ec != std::errc() || res.ptr != hex.data() + i + 2)
                    r.Fail("sequence data that is not hexadecimal");
                p.sequenceData.push_back(std::uint8_t(v));
            }
        } else {
            r.Fail("unknown entry '" + key + "'");
        }
    }
    if (!sawEffect)
        throw HostError("project names no effect");
    return p;
}

void SaveProject(const Project& project, const std::filesystem::path& file) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << WriteProjectText(project);
    if (!out.flush())
        throw HostError("cannot write project '" + file.string() + "'");
}

Project LoadProject(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw HostError("cannot open project '" + file.string() + "'");
    std::ostringstream s;
    s << in.rdbuf();
    return ReadProjectText(s.str());
}

// ---- Instance ---------------------------------------------------------------------------------------------

PF_Err Instance::Capture(Project* project) {
    std::vector<std::uint8_t> flat;
    if (sequenceData_) {
        if (PF_Err err = SequenceFlatten(&flat))
            return err;
        if (PF_Err err = SequenceResetup()) // the instance goes on with live data, as after a save
            return err;
    }
    Project p;
    if (plugin_ && plugin_->pipl()) {
        p.matchName = plugin_->pipl()->matchName;
        p.version = plugin_->pipl()->version.value_or(0);
    }
    {
        std::lock_guard lock(impl_->mutex);
        for (std::size_t i = 1; i < impl_->params.size(); ++i) {
            const PF_ParamDef& def = impl_->params[i]->def;
            if (ProjectStoresKind(def.param_type))
                p.values.push_back(ProjectValue{def.uu.id, def.param_type, def.u});
        }
    }
    p.sequenceData = std::move(flat);
    *project = std::move(p);
    return PF_Err_NONE;
}

PF_Err Instance::Restore(const Project& project, std::vector<A_long>* unknownIds) {
    if (plugin_ && plugin_->pipl() && !project.matchName.empty() &&
        project.matchName != plugin_->pipl()->matchName)
        throw HostError("the project holds effect '" + project.matchName + "', not '" +
                        plugin_->pipl()->matchName + "'");
    {
        std::lock_guard lock(impl_->mutex);
        for (const ProjectValue& v : project.values) {
            ParamSlot* slot = nullptr;
            for (std::size_t i = 1; i < impl_->params.size() && !slot; ++i)
                if (impl_->params[i]->def.uu.id == v.id && impl_->params[i]->def.param_type == v.type)
                    slot = impl_->params[i].get();
            if (!slot) {
                if (unknownIds)
                    unknownIds->push_back(v.id);
                continue;
            }
            PF_ParamDefUnion& u = slot->def.u;
            switch (v.type) {
            case PF_Param_SLIDER:
                u.sd.value = v.value.sd.value;
                break;
            case PF_Param_FIX_SLIDER:
                u.fd.value = v.value.fd.value;
                break;
            case PF_Param_ANGLE:
                u.ad.value = v.value.ad.value;
                break;
            case PF_Param_CHECKBOX:
                u.bd.value = v.value.bd.value;
                break;
            case PF_Param_POPUP:
                u.pd.value = v.value.pd.value;
                break;
            case PF_Param_COLOR:
                u.cd.value = v.value.cd.value;
                break;
            case PF_Param_POINT:
                u.td.x_value = v.value.td.x_value;
                u.td.y_value = v.value.td.y_value;
                break;
            case PF_Param_FLOAT_SLIDER:
                u.fs_d.value = v.value.fs_d.value;
                break;
            case PF_Param_POINT_3D:
                u.point3d_d.x_value = v.value.point3d_d.x_value;
                u.point3d_d.y_value = v.value.point3d_d.y_value;
                u.point3d_d.z_value = v.value.point3d_d.z_value;
                break;
            default:
                break;
            }
        }
    }
    if (sequenceData_)
        if (PF_Err err = SequenceSetdown())
            return err;
    if (project.sequenceData.empty()) {
        sequenceData_ = nullptr;
        return SequenceResetup();
    }
    return SequenceResetup(project.sequenceData);
}

PF_Err Instance::SaveProject(const std::filesystem::path& file) {
    Project p;
    if (PF_Err err = Capture(&p))
        return err;
    host::SaveProject(p, file);
    return PF_Err_NONE;
}

PF_Err Instance::OpenProject(const std::filesystem::path& file, std::vector<A_long>* unknownIds) {
    return Restore(LoadProject(file), unknownIds);
}

} // namespace host
