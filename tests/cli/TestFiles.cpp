#include "TestFiles.h"

#include <fstream>

#include <gtest/gtest.h>

namespace clitest {
namespace {

std::size_t Offset(const OIIO::ImageSpec& spec, int c) {
    std::size_t offset = 0;
    for (int i = 0; i < c; ++i)
        offset += spec.channelformat(i).size();
    return offset;
}

std::uint32_t Crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string BigEndian(std::uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string Chunk(const std::string& type, const std::string& data) {
    return BigEndian(std::uint32_t(data.size())) + type + data + BigEndian(Crc32(type + data));
}

} // namespace

float Part::Value(int x, int y, int c) const {
    const std::size_t at =
        (std::size_t(y) * std::size_t(spec.width) + std::size_t(x)) * PixelBytes() + Offset(spec, c);
    float v = 0;
    OIIO::convert_pixel_values(spec.channelformat(c), pixels.data() + at, OIIO::TypeDesc::FLOAT, &v, 1);
    return v;
}

void Part::SetValue(int x, int y, int c, float v) {
    const std::size_t at =
        (std::size_t(y) * std::size_t(spec.width) + std::size_t(x)) * PixelBytes() + Offset(spec, c);
    OIIO::convert_pixel_values(OIIO::TypeDesc::FLOAT, &v, spec.channelformat(c), pixels.data() + at, 1);
}

int Part::Channel(const std::string& name) const {
    for (int c = 0; c < spec.nchannels; ++c)
        if (spec.channel_name(c) == name)
            return c;
    return -1;
}

std::vector<std::uint8_t> Part::ChannelBytes(int c) const {
    std::vector<std::uint8_t> out;
    const std::size_t size = spec.channelformat(c).size(), offset = Offset(spec, c);
    for (std::size_t p = 0; p < std::size_t(spec.width) * std::size_t(spec.height); ++p)
        out.insert(out.end(), pixels.begin() + std::ptrdiff_t(p * PixelBytes() + offset),
                   pixels.begin() + std::ptrdiff_t(p * PixelBytes() + offset + size));
    return out;
}

Part MakePart(int width, int height, const std::vector<std::string>& names,
              const std::vector<OIIO::TypeDesc>& types, int x, int y) {
    Part part;
    part.spec = OIIO::ImageSpec(width, height, int(names.size()), types.front());
    part.spec.channelnames = names;
    if (types.size() > 1)
        part.spec.channelformats = types;
    part.spec.x = part.spec.full_x = x;
    part.spec.y = part.spec.full_y = y;
    part.spec.alpha_channel = -1;
    for (int c = 0; c < int(names.size()); ++c)
        if (names[std::size_t(c)] == "A")
            part.spec.alpha_channel = c;
    part.pixels.assign(part.spec.image_bytes(true), 0);
    return part;
}

void WriteParts(const std::filesystem::path& path, const std::vector<Part>& parts) {
    auto out = OIIO::ImageOutput::create(path.string());
    ASSERT_TRUE(out) << OIIO::geterror();
    std::vector<OIIO::ImageSpec> specs;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        specs.push_back(parts[i].spec);
        if (parts.size() > 1 && specs.back().get_string_attribute("name").empty())
            specs.back().attribute("name", "part" + std::to_string(i));
    }
    ASSERT_TRUE(specs.size() == 1 ? out->open(path.string(), specs[0])
                                  : out->open(path.string(), int(specs.size()), specs.data()))
        << out->geterror();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            ASSERT_TRUE(out->open(path.string(), specs[i], OIIO::ImageOutput::AppendSubimage))
                << out->geterror();
        }
        ASSERT_TRUE(out->write_image(OIIO::TypeDesc::UNKNOWN, parts[i].pixels.data())) << out->geterror();
    }
    ASSERT_TRUE(out->close()) << out->geterror();
}

std::vector<Part> ReadParts(const std::filesystem::path& path) {
    std::vector<Part> parts;
    auto in = OIIO::ImageInput::open(path.string());
    if (!in) {
        ADD_FAILURE() << "cannot read " << path << ": " << OIIO::geterror();
        return parts;
    }
    for (int s = 0; in->seek_subimage(s, 0); ++s) {
        Part part;
        part.spec = in->spec();
        part.pixels.resize(part.spec.image_bytes(true));
        EXPECT_TRUE(in->read_image(s, 0, 0, part.spec.nchannels, OIIO::TypeDesc::UNKNOWN, part.pixels.data()))
            << in->geterror();
        parts.push_back(std::move(part));
    }
    return parts;
}

void WritePngClaiming(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
                      std::size_t payload) {
    const std::string header = BigEndian(width) + BigEndian(height) + std::string{8, 2, 0, 0, 0};
    std::string data(payload, '\0');
    for (std::size_t i = 0; i < payload; ++i)
        data[i] = char(i * 131 % 251);
    std::ofstream file(path, std::ios::binary);
    file << "\x89PNG\r\n\x1a\n" << Chunk("IHDR", header) << Chunk("IDAT", data) << Chunk("IEND", "");
}

void Truncate(const std::filesystem::path& path, double fraction) {
    std::filesystem::resize_file(path, std::uintmax_t(double(std::filesystem::file_size(path)) * fraction));
}

} // namespace clitest
