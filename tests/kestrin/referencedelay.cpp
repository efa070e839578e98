#include "kestrin/referencedelay.h"

#include <cmath>

namespace reference {

namespace {

struct Filters {
    float a1, a2[2], g[2];                // low-pass sections 1 and 2
    float b1, b2[2], h[2], k, m, e2;      // high-pass sections 3 and 4
};

Filters design(float A, float lowpass, float highpass) {
    Filters f;
    const double K[2] = {1.847759, 0.76536685};
    float t = std::tan(A * lowpass);
    float c = 1.0f / t;
    f.a1 = (float)(2.0 * (1.0 - 1.0 / (double)(t * t)));
    for (int s = 0; s < 2; ++s) {
        f.a2[s] = (float)(((double)c - K[s]) / (double)t + 1.0);
        f.g[s] = (float)(1.0 / (((double)c + K[s]) / (double)t + 1.0));
    }
    float tp = std::tan(A * highpass);
    float cp = 1.0f / tp;
    float tp2 = tp * tp;
    f.k = 1.0f / tp2;
    f.b1 = (float)(2.0 * (1.0 - (double)f.k));
    f.m = (float)(-2.0 / (double)tp2);
    f.b2[0] = (float)(((double)cp - K[0]) / (double)tp + 1.0);
    f.h[0] = (float)(1.0 / (((double)cp + K[0]) / (double)tp + 1.0));
    f.b2[1] = (float)(((double)cp - K[1]) / (double)tp + 1.0);
    f.e2 = (float)(((double)cp + K[1]) / (double)tp + 1.0);
    f.h[1] = 1.0f / f.e2;
    return f;
}

// Clip to [-1, 1] (NaN to +1), then q = C - C^3/3.
float clipAndSaturate(double v) {
    float C = (std::isnan(v) || v > 1.0) ? 1.0f : (v < -1.0 ? -1.0f : (float)v);
    float C2 = C * C;
    return (float)((double)C * (1.0 - (double)C2 * 0.33333334));
}

// Tap crossfader, then the line write; returns the stored value. The line is as long
// as the longest delay needs (no power of two), indexed with plain modulo.
float runLine(std::vector<float>& buf, long& written, float& v, float& i, float& d1, float& d0, float d, float cap,
              float x, float fb) {
    const float vp = v, ip = i, d1p = d1, d0p = d0;
    if (vp != 0.0f) {
        v = (0.0f < ip && ip < 1.0f) ? vp : 0.0f;
    } else if (ip != 0.0f || d == d1p) {
        v = (d != d0p && ip == 1.0f) ? -0.0009765625f : 0.0f;
    } else {
        v = 0.0009765625f;
    }
    float sum = ip + v;
    i = sum < 0.0f ? 0.0f : (sum > 1.0f ? 1.0f : sum);
    d1 = (ip >= 1.0f && d != d0p) ? d : d1p;
    d0 = (ip <= 0.0f && d != d1p) ? d : d0p;

    long taps[2];
    const float ds[2] = {d0, d1};
    for (int k = 0; k < 2; ++k) {
        double lo = (double)ds[k];
        if (!(lo > 0.0)) lo = 0.0;
        double n = (double)cap < lo ? (double)cap : lo;
        taps[k] = (long)std::trunc(n);
    }
    const long length = (long)buf.size();
    const long w = written % length;
    const float tap0 = buf[((w - 1 - taps[0]) % length + length) % length];
    const float tap1 = buf[((w - 1 - taps[1]) % length + length) % length];
    const float stored = x + fb * ((tap0 - tap1) * i + tap1);
    buf[w] = stored;
    ++written;
    return stored;
}

}  // namespace

Delay::Delay(int sampleRate, Behaviour behaviour) {
    double r = (double)(float)sampleRate;
    if (r < 1.0) r = 1.0;
    if (r > behaviour.workingRateCeiling) r = behaviour.workingRateCeiling;
    sr_ = (float)r;
    capNumerator_ = 480.0f * sr_;
    angularStep_ = (float)(3.1415927 / (double)sr_);
    // The longest tap reaches 1 + 4 s back; one more slot for the sample written.
    const long length = (long)std::ceil(4.0 * (double)sr_) + 2;
    lineR_.samples.assign((std::size_t)length, 0.0f);
    lineL_.samples.assign((std::size_t)length, 0.0f);
    // The saturation history as silence leaves it: a clipper input of just the 0.1 offset.
    if (behaviour.saturationStartsAtSilence) chainL_.lastQ = chainR_.lastQ = clipAndSaturate(0.1);
}

void Delay::process(const Controls& c, int count, const float* in0, const float* in1, float* out0, float* out1) {
    const double S = c.sync, Tm = c.tempo;
    const float notS = 1.0f - c.sync;
    const float dR = (float)((double)sr_ * ((double)c.delayR * 0.001 * (double)notS +
                                            ((double)c.noteR + 1.0) * S / Tm * 15.0));
    const float dL = (float)((double)sr_ * ((double)c.delayL * 0.001 * (double)notS +
                                            ((double)c.noteL + 1.0) * S / Tm * 15.0));
    const float cap = (float)((double)capNumerator_ / (Tm > 120.0 ? Tm : 120.0));
    const float fR = (float)((double)c.feedbackR * 0.01);
    const float fL = (float)((double)c.feedbackL * 0.01);
    const Filters F = design(angularStep_, c.lowpass, c.highpass);
    const float W = (float)(((double)c.width * 0.01 + 1.0) * 0.5);
    const float notW = 1.0f - W;
    const float G = (float)((double)c.gain * 0.01 + 1.0);
    const float P = (float)(std::pow(10.0, 0.02 * (double)c.drive) / (double)F.e2);
    const float mL = (float)((double)c.mixL * 0.01), notmL = 1.0f - mL;
    const float mR = (float)((double)c.mixR * 0.01), notmR = 1.0f - mR;

    for (int n = 0; n < count; ++n) {
        const float x0 = in0[n], x1 = in1[n];
        // Lines: R (input 0) first, then L (input 1).
        const float r = runLine(lineR_.samples, lineR_.written, lineR_.step, lineR_.weight, lineR_.d1, lineR_.d0, dR,
                                cap, x0, fR);
        const float l = runLine(lineL_.samples, lineL_.written, lineL_.step, lineL_.weight, lineL_.d1, lineL_.d0, dL,
                                cap, x1, fL);
        float D[2];
        Chain* chains[2] = {&chainL_, &chainR_};
        const float u[2] = {(l * W + r * notW) * G, (r * W + l * notW) * G};
        for (int ch = 0; ch < 2; ++ch) {
            Chain& s = *chains[ch];
            // Section 1: single precision in, output in double.
            float w1 = u[ch] - (F.a1 * s.w[0][0] + F.a2[0] * s.w[0][1]) * F.g[0];
            double y1 = (double)F.g[0] * (2.0 * (double)s.w[0][0] + (double)(s.w[0][1] + w1));
            // Section 2.
            float w2 = (float)(y1 - (double)((F.a1 * s.w[1][0] + F.a2[1] * s.w[1][1]) * F.g[1]));
            double y2 = (double)F.g[1] * (2.0 * (double)s.w[1][0] + (double)(s.w[1][1] + w2));
            // Section 3: output in single precision.
            float w3 = (float)(y2 - (double)((F.b1 * s.w[2][0] + F.b2[0] * s.w[2][1]) * F.h[0]));
            float y3 = (F.k * w3 + F.m * s.w[2][0] + F.k * s.w[2][1]) * F.h[0];
            // Section 4.
            float w4 = y3 - (F.b1 * s.w[3][0] + F.b2[1] * s.w[3][1]) * F.h[1];
            // Clip, saturation, DC blocker.
            double v = (double)(P * (F.k * w4 + F.m * s.w[3][0] + F.k * s.w[3][1])) + 0.1;
            float q = clipAndSaturate(v);
            float d = (float)(0.995 * (double)s.lastD + (double)q - (double)s.lastQ);
            s.lastQ = q;
            s.lastD = d;
            const float ws[4] = {w1, w2, w3, w4};
            for (int k = 0; k < 4; ++k) {
                s.w[k][1] = s.w[k][0];
                s.w[k][0] = ws[k];
            }
            D[ch] = d;
        }
        out0[n] = x0 * mL + (D[0] + x0) * notmL;
        out1[n] = x1 * mR + (D[1] + x1) * notmR;
    }
}

}  // namespace reference
