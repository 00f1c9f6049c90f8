// OpenCV's same-size filters on a frame, for the tool's benchmark (bench/tool_bench.py): the peer each
// render is compared with. Reads the frame with OpenImageIO at its own depth (8-bit, 16-bit or float, four
// channels), runs each filter `--runs` times on `--threads` threads and prints one line per filter:
//
//   box 41 12.345        (the filter, its size, the median milliseconds)
//
//   opencv_filters FRAME --threads N [--runs R] box:41 gauss:41 ...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <OpenImageIO/imageio.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace {

cv::Mat ReadFrame(const std::string& path) {
    auto in = OIIO::ImageInput::open(path);
    if (!in) {
        std::fprintf(stderr, "opencv_filters: cannot read %s: %s\n", path.c_str(), OIIO::geterror().c_str());
        std::exit(1);
    }
    const OIIO::ImageSpec& spec = in->spec();
    const OIIO::TypeDesc type = spec.format.basetype == OIIO::TypeDesc::UINT8    ? OIIO::TypeDesc::UINT8
                                : spec.format.basetype == OIIO::TypeDesc::UINT16 ? OIIO::TypeDesc::UINT16
                                                                                 : OIIO::TypeDesc::FLOAT;
    const int cvType = type == OIIO::TypeDesc::UINT8    ? CV_8UC4
                       : type == OIIO::TypeDesc::UINT16 ? CV_16UC4
                                                        : CV_32FC4;
    cv::Mat frame(spec.height, spec.width, cvType, cv::Scalar::all(0));
    const int channels = std::min(spec.nchannels, 4);
    if (!in->read_image(0, 0, 0, channels, type, frame.data, OIIO::stride_t(4 * type.size()))) {
        std::fprintf(stderr, "opencv_filters: cannot read %s: %s\n", path.c_str(), in->geterror().c_str());
        std::exit(1);
    }
    return frame;
}

double MedianMs(int runs, const std::function<void()>& run) {
    std::vector<double> ms;
    run(); // the first call allocates the destination and warms the caches
    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        run();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    std::string frame;
    int threads = 1, runs = 5;
    std::vector<std::string> filters;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--threads" && i + 1 < argc)
            threads = std::atoi(argv[++i]);
        else if (arg == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (frame.empty())
            frame = arg;
        else
            filters.push_back(arg);
    }
    if (frame.empty() || filters.empty()) {
        std::fprintf(stderr, "usage: opencv_filters FRAME --threads N [--runs R] box:SIZE|gauss:SIZE ...\n");
        return 2;
    }
    cv::setNumThreads(threads);
    const cv::Mat source = ReadFrame(frame);
    cv::Mat destination;
    for (const std::string& filter : filters) {
        const std::size_t colon = filter.find(':');
        const std::string kind = filter.substr(0, colon);
        const int size = colon == std::string::npos ? 0 : std::atoi(filter.c_str() + colon + 1);
        if ((kind != "box" && kind != "gauss") || size < 1 || size % 2 == 0) {
            std::fprintf(stderr, "opencv_filters: %s: expected box:SIZE or gauss:SIZE with an odd size\n",
                         filter.c_str());
            return 2;
        }
        const double ms = MedianMs(runs, [&] {
            if (kind == "box")
                cv::boxFilter(source, destination, -1, cv::Size(size, size));
            else
                cv::GaussianBlur(source, destination, cv::Size(size, size), 0);
        });
        std::printf("%s %d %.3f\n", kind.c_str(), size, ms);
    }
    return 0;
}
