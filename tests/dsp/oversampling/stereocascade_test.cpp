// The pipelined stereo cascade against the filters' own one-sample-at-a-time path.

#include "dsp/oversampling/stereocascade.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

using dsp::filters::ButterworthLPNthOrder;
using dsp::oversampling::StereoCascade;

struct Filters {
    ButterworthLPNthOrder<float> left{10}, right{10};
    Filters(float rate, float corner) {
        for (ButterworthLPNthOrder<float>* f : {&left, &right}) {
            f->setSampleRate(rate);
            f->setFrequency(corner);
        }
    }
};

struct VectorSource {
    const float* in0;
    const float* in1;
    __m128 at(int t) const { return _mm_setr_ps(in0[t], in1[t], 0.0f, 0.0f); }
};

// Keeps every `every`-th output, the way decimation does.
struct VectorSink {
    int every;
    std::vector<float>* out0;
    std::vector<float>* out1;
    bool wants(int t) const { return t % every == 0; }
    void put(int t, __m128 y) {
        alignas(16) float v[4];
        _mm_store_ps(v, y);
        (*out0)[std::size_t(t)] = v[0];
        (*out1)[std::size_t(t)] = v[1];
    }
};

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Runs blocks of the given sizes through the cascade on one pair of filters and
// through getNextSample on a twin pair; every kept output and, after every block,
// every section's history must agree bit for bit.
void expectSameAsOneSampleAtATime(Filters& piped, Filters& plain, const std::vector<int>& sizes, int every,
                                  std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    for (std::size_t b = 0; b < sizes.size(); ++b) {
        const int n = sizes[b];
        std::vector<float> in0(std::size_t(n) + 1), in1(std::size_t(n) + 1);
        for (int i = 0; i < n; ++i) {
            in0[std::size_t(i)] = dist(rng);
            in1[std::size_t(i)] = i % 5 == 0 ? dist(rng) * 3.0f : 0.0f;  // zero-stuffing-like
        }
        std::vector<float> out0(std::size_t(n) + 1, 7.0f), out1(std::size_t(n) + 1, 7.0f);
        StereoCascade cascade;
        cascade.load(piped.left, piped.right);
        VectorSource source{in0.data(), in1.data()};
        VectorSink sink{every, &out0, &out1};
        cascade.run(n, source, sink);
        cascade.store();
        for (int i = 0; i < n; ++i) {
            const float e0 = plain.left.getNextSample(in0[std::size_t(i)]);
            const float e1 = plain.right.getNextSample(in1[std::size_t(i)]);
            if (i % every != 0) continue;
            ASSERT_TRUE(sameBits(out0[std::size_t(i)], e0)) << "block " << b << " sample " << i;
            ASSERT_TRUE(sameBits(out1[std::size_t(i)], e1)) << "block " << b << " sample " << i;
        }
        ASSERT_EQ(out0[std::size_t(n)], 7.0f) << "wrote past the block";
        for (int s = 0; s < StereoCascade::kSections; ++s) {
            for (auto [p, q] : {std::pair{&piped.left, &plain.left}, std::pair{&piped.right, &plain.right}}) {
                const auto hp = p->section(s).history(), hq = q->section(s).history();
                ASSERT_TRUE(sameBits(hp.w, hq.w) && sameBits(hp.w1, hq.w1) && sameBits(hp.w2, hq.w2) &&
                            sameBits(hp.y, hq.y))
                    << "block " << b << " section " << s;
            }
        }
    }
}

std::vector<int> blockSizes(std::uint32_t seed) {
    // Blocks shorter than the pipeline, around it, and long ones.
    std::vector<int> sizes = {1, 2, 3, 4, 5, 6, 0, 1, 4096, 3, 9};
    std::mt19937 rng(seed);
    for (int i = 0; i < 30; ++i) sizes.push_back(int(rng() % 12));
    for (int i = 0; i < 10; ++i) sizes.push_back(1 + int(rng() % 4096));
    return sizes;
}

TEST(StereoCascade, EveryBlockSizeMatchesTheSectionsOneSampleAtATime) {
    for (int every : {1, 2, 8}) {
        Filters piped(8 * 48000.0f, 22933.0f), plain(8 * 48000.0f, 22933.0f);
        expectSameAsOneSampleAtATime(piped, plain, blockSizes(unsigned(every)), every, 10u + unsigned(every));
    }
}

TEST(StereoCascade, OutputWeightsOtherThanFilteredOnlyMatchToo) {
    // Sections with their own c0 and d0 (and coefficients), different per channel.
    Filters piped(96000.0f, 20000.0f), plain(96000.0f, 20000.0f);
    for (Filters* f : {&piped, &plain}) {
        f->left.section(1).initialize(0.2f, 0.3f, 0.1f, -0.5f, 0.2f, 0.75f, 0.25f);
        f->right.section(4).initialize(0.1f, 0.2f, 0.1f, -0.9f, 0.3f, 1.5f, -0.5f);
        f->right.section(0).initialize(0.3f, 0.1f, 0.3f, 0.2f, 0.1f, 1.0f, 0.125f);
    }
    expectSameAsOneSampleAtATime(piped, plain, blockSizes(5), 1, 99);
    expectSameAsOneSampleAtATime(piped, plain, blockSizes(6), 4, 98);
}

}  // namespace
