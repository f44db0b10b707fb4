// Pack pictures at the output scale: a copy, pixel blocks, or a separable
// filter over premultiplied colours in single precision.
#include "graphics/pack_scale.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

struct taps {
    int first;
    std::vector<float> weights;
};

// Taps of each target position along one axis: n source pixels to m
// target pixels, triangle when enlarging, box when reducing.
std::vector<taps> make_wts(int n, int m, bool triangle) {
    const double r = static_cast<double>(n) / m;
    const double g = std::max(1.0, r);
    const double reach = triangle ? g : g / 2;
    auto kernel = [triangle](double x) {
        if (triangle) return std::max(0.0, 1 - std::fabs(x));
        return x > -0.5 && x <= 0.5 ? 1.0 : 0.0;
    };
    std::vector<taps> out(static_cast<size_t>(m));
    for (int i = 0; i < m; ++i) {
        const double c = (i + 0.5) * r;
        int from = std::max(0, static_cast<int>(c - reach + 0.5));
        const int to = std::min(n, static_cast<int>(c + reach + 0.5));
        taps& t = out[static_cast<size_t>(i)];
        if (to <= from) {
            t.first = std::min(from, n - 1);
            t.weights.assign(1, 1.0f);
            continue;
        }
        t.first = from;
        double sum = 0;
        for (int j = from; j < to; ++j) {
            const double w = kernel((j - c + 0.5) / g);
            t.weights.push_back(static_cast<float>(w));
            sum += w;
        }
        if (sum == 0) {
            std::fill(t.weights.begin(), t.weights.end(), 0.0f);
            t.weights[0] = 1;
            continue;
        }
        for (float& w : t.weights) w = static_cast<float>(w / sum);
    }
    return out;
}

uint8_t to_byte(float v) { return static_cast<uint8_t>(std::clamp(v + 0.5f, 0.0f, 255.0f)); }

std::vector<uint8_t> filtered(const uint8_t* pixels, int src_w, int src_h, int out_w, int out_h, bool triangle) {
    std::vector<float> pre(static_cast<size_t>(src_w) * src_h * 4);
    for (size_t p = 0; p < pre.size(); p += 4) {
        const float a = pixels[p + 3];
        for (int k = 0; k < 3; ++k) pre[p + k] = pixels[p + k] * (a / 255.0f);
        pre[p + 3] = a;
    }
    const std::vector<taps> across = make_wts(src_w, out_w, triangle);
    const std::vector<taps> down = make_wts(src_h, out_h, triangle);
    std::vector<float> rows(static_cast<size_t>(out_w) * src_h * 4, 0.0f);
    for (int y = 0; y < src_h; ++y)
        for (int x = 0; x < out_w; ++x) {
            const taps& t = across[static_cast<size_t>(x)];
            float* o = &rows[(static_cast<size_t>(y) * out_w + x) * 4];
            for (size_t j = 0; j < t.weights.size(); ++j) {
                const float* p = &pre[(static_cast<size_t>(y) * src_w + t.first + j) * 4];
                for (int k = 0; k < 4; ++k) o[k] += p[k] * t.weights[j];
            }
        }
    std::vector<uint8_t> out(static_cast<size_t>(out_w) * out_h * 4);
    for (int y = 0; y < out_h; ++y) {
        const taps& t = down[static_cast<size_t>(y)];
        for (int x = 0; x < out_w; ++x) {
            float v[4] = {};
            for (size_t j = 0; j < t.weights.size(); ++j) {
                const float* p = &rows[((t.first + j) * static_cast<size_t>(out_w) + x) * 4];
                for (int k = 0; k < 4; ++k) v[k] += p[k] * t.weights[j];
            }
            uint8_t* o = &out[(static_cast<size_t>(y) * out_w + x) * 4];
            o[3] = to_byte(v[3]);
            for (int k = 0; k < 3; ++k) o[k] = v[3] > 0.5f ? to_byte(v[k] * 255.0f / std::max(v[3], 1.0f)) : 0;
        }
    }
    return out;
}

}  // namespace

std::vector<uint8_t> to_scale(const uint8_t* pixels, int src_w, int src_h, int target_h, int target_w, int s) {
    if (!pixels || src_w <= 0 || src_h <= 0 || target_w <= 0 || target_h <= 0 || s <= 0) return {};
    const int k = src_h / target_h;
    const int out_w = target_w * s, out_h = target_h * s;
    // Copies and blocks only when the source is exactly the target at k.
    const bool exact = k > 0 && src_w == target_w * k && src_h == target_h * k;
    if (exact && s == k) return std::vector<uint8_t>(pixels, pixels + static_cast<size_t>(src_w) * src_h * 4);
    if (exact && s % k == 0) {
        const int f = s / k;
        std::vector<uint8_t> out(static_cast<size_t>(out_w) * out_h * 4);
        for (int y = 0; y < out_h; ++y)
            for (int x = 0; x < out_w; ++x)
                std::memcpy(&out[(static_cast<size_t>(y) * out_w + x) * 4],
                            &pixels[(static_cast<size_t>(y / f) * src_w + x / f) * 4], 4);
        return out;
    }
    return filtered(pixels, src_w, src_h, out_w, out_h, s > k);
}
