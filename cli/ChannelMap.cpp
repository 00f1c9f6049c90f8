#include "cli/ChannelMap.h"

namespace cli {
namespace {

int FindChannel(const OIIO::ImageSpec& spec, const std::string& name) {
    for (int c = 0; c < spec.nchannels; ++c)
        if (spec.channel_name(c) == name)
            return c;
    return -1;
}

// The layer prefix ("diffuse.") of the first channel named "<layer>.R" whose layer also has G and B.
std::optional<std::string> FirstColourLayer(const OIIO::ImageSpec& spec) {
    for (int c = 0; c < spec.nchannels; ++c) {
        const std::string name = spec.channel_name(c);
        if (name.size() < 3 || name.compare(name.size() - 2, 2, ".R") != 0)
            continue;
        const std::string layer = name.substr(0, name.size() - 1);
        if (FindChannel(spec, layer + "G") >= 0 && FindChannel(spec, layer + "B") >= 0)
            return layer;
    }
    return std::nullopt;
}

} // namespace

std::optional<ChannelMap> MapChannels(const OIIO::ImageSpec& spec) {
    ChannelMap m;
    const int r = FindChannel(spec, "R"), g = FindChannel(spec, "G"), b = FindChannel(spec, "B");
    if (r >= 0 && g >= 0 && b >= 0) {
        m.red = r, m.green = g, m.blue = b;
    } else if (auto layer = FirstColourLayer(spec)) {
        m.layer = *layer;
        m.red = FindChannel(spec, m.layer + "R");
        m.green = FindChannel(spec, m.layer + "G");
        m.blue = FindChannel(spec, m.layer + "B");
    } else {
        int y = FindChannel(spec, "Y");
        if (y < 0) {
            // A single channel beside alpha is grey whatever its name.
            std::vector<int> colour;
            for (int c = 0; c < spec.nchannels; ++c)
                if (c != spec.alpha_channel && spec.channel_name(c) != "A")
                    colour.push_back(c);
            if (colour.size() != 1)
                return std::nullopt;
            y = colour[0];
        }
        m.grey = true;
        m.red = m.green = m.blue = y;
    }

    // A layer's own alpha first, then the plain one, then whatever the reader says is alpha.
    m.alpha = m.layer.empty() ? -1 : FindChannel(spec, m.layer + "A");
    if (m.alpha < 0)
        m.alpha = FindChannel(spec, "A");
    if (m.alpha < 0 && m.layer.empty() && spec.alpha_channel >= 0 && spec.alpha_channel < spec.nchannels &&
        spec.alpha_channel != m.red && spec.alpha_channel != m.green && spec.alpha_channel != m.blue)
        m.alpha = spec.alpha_channel;

    for (int c = 0; c < spec.nchannels; ++c)
        if (c != m.red && c != m.green && c != m.blue && c != m.alpha)
            m.passThrough.push_back(c);
    return m;
}

std::vector<std::size_t> ChannelOffsets(const OIIO::ImageSpec& spec) {
    std::vector<std::size_t> offsets(std::size_t(spec.nchannels) + 1, 0);
    for (int c = 0; c < spec.nchannels; ++c)
        offsets[std::size_t(c) + 1] = offsets[std::size_t(c)] + spec.channelformat(c).size();
    return offsets;
}

std::string ListChannelNames(const OIIO::ImageSpec& spec, const std::vector<int>& channels) {
    std::string text;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        if (i > 0)
            text += i + 1 == channels.size() ? " and " : ", ";
        text += spec.channel_name(channels[i]);
    }
    return text;
}

} // namespace cli
