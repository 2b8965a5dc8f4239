#pragma once
// The pieces that reduced decoding shares: a share of the decoding budget
// held for a scope, and the area filter that averages a picture down as its
// rows arrive, so that no reader ever holds the whole picture.

#include "picturedecoder.h"

#include <QImage>
#include <QSize>

#include <algorithm>
#include <vector>

// Holds a share of the budget for as long as it lives.
class BudgetShare
{
public:
    BudgetShare(PixelBudget* budget, qint64 bytes)
        : m_budget(budget)
        , m_taken(budget ? budget->acquire(bytes) : 0)
    {
    }
    ~BudgetShare()
    {
        if (m_budget)
            m_budget->release(m_taken);
    }
    BudgetShare(const BudgetShare&) = delete;
    BudgetShare& operator=(const BudgetShare&) = delete;

private:
    PixelBudget* m_budget;
    qint64 m_taken;
};

// Averages a picture down to a smaller size as its rows arrive, each source
// pixel spread over the target pixels it covers in proportion to the area
// (an exact box filter). Colours are averaged premultiplied by their
// opacity, so transparent pixels lend no colour to their neighbours.
class AreaReducer
{
public:
    AreaReducer(QSize source, QSize target, bool alpha)
        : m_sw(source.width())
        , m_tw(target.width())
        , m_th(target.height())
        , m_alpha(alpha)
        , m_out(target, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32)
    {
        spans(source.width(), target.width(), m_xIndex, m_xFirst);
        spans(source.height(), target.height(), m_yIndex, m_yFirst);
        m_line.assign(size_t(m_tw) * 4, 0.f);
        m_rows[0].assign(size_t(m_tw) * 4, 0.f);
        m_rows[1].assign(size_t(m_tw) * 4, 0.f);
    }

    bool isNull() const { return m_out.isNull(); }

    // One source row: RGBA bytes (not premultiplied) for a picture with
    // alpha, RGB bytes for one without. With `premultiplied`, RGBA bytes
    // whose colours are already multiplied by their alpha (as libtiff gives).
    void addRow(const uchar* pixels, bool premultiplied = false)
    {
        if (m_out.isNull() || m_y >= int(m_yIndex.size()))
            return;
        std::fill(m_line.begin(), m_line.end(), 0.f);
        if (premultiplied) {
            for (int x = 0; x < m_sw; ++x) {
                const uchar* p = pixels + 4 * x;
                if (m_alpha)
                    spread(x, p[0] * 255.f, p[1] * 255.f, p[2] * 255.f, p[3]);
                else
                    spread(x, p[0], p[1], p[2], 1.f);
            }
        } else if (m_alpha) {
            for (int x = 0; x < m_sw; ++x) {
                const uchar* p = pixels + 4 * x;
                const float a = p[3];
                spread(x, p[0] * a, p[1] * a, p[2] * a, a);
            }
        } else {
            // Opaque: the colours themselves, and the weight in place of
            // alpha, so that the row ends as a weighted mean.
            for (int x = 0; x < m_sw; ++x) {
                const uchar* p = pixels + 3 * x;
                spread(x, p[0], p[1], p[2], 1.f);
            }
        }
        const int ty = m_yIndex[size_t(m_y)];
        while (m_base < ty)
            emitRow();
        const float v0 = m_yFirst[size_t(m_y)];
        const float v1 = 1.f - v0;
        float* r0 = m_rows[0].data();
        float* r1 = m_rows[1].data();
        for (size_t i = 0; i < m_line.size(); ++i) {
            r0[i] += m_line[i] * v0;
            r1[i] += m_line[i] * v1;
        }
        ++m_y;
    }

    QImage result()
    {
        while (m_base < m_th)
            emitRow();
        return m_out;
    }

private:
    inline void spread(int x, float r, float g, float b, float a)
    {
        const int t = m_xIndex[size_t(x)];
        const float w0 = m_xFirst[size_t(x)];
        float* l = &m_line[size_t(t) * 4];
        l[0] += r * w0; l[1] += g * w0; l[2] += b * w0; l[3] += a * w0;
        const float w1 = 1.f - w0;
        if (w1 > 0.f && t + 1 < m_tw) {
            l[4] += r * w1; l[5] += g * w1; l[6] += b * w1; l[7] += a * w1;
        }
    }

    // For each source position, the target position its span starts in and
    // the share of its span that falls there (the rest falls in the next).
    static void spans(int source, int target, std::vector<int>& index, std::vector<float>& first)
    {
        index.resize(size_t(source));
        first.resize(size_t(source));
        const double scale = double(target) / source;
        for (int s = 0; s < source; ++s) {
            const double t0 = s * scale;
            const double t1 = (s + 1) * scale;
            const int i = std::min(int(t0), target - 1);
            index[size_t(s)] = i;
            first[size_t(s)] = t1 <= i + 1 ? 1.f : float((i + 1 - t0) / (t1 - t0));
        }
    }

    void emitRow()
    {
        if (m_base < m_th) {
            QRgb* out = reinterpret_cast<QRgb*>(m_out.scanLine(m_base));
            const float* acc = m_rows[0].data();
            // Each target pixel covers (source / target) source pixels in
            // each direction: the sums are divided by that area.
            const float norm = float(m_tw) * m_th / (float(m_sw) * float(m_yIndex.size()));
            for (int x = 0; x < m_tw; ++x) {
                const float* p = acc + 4 * x;
                const float a = p[3] * norm;
                const int ia = qBound(0, int(a + 0.5f), 255);
                if (m_alpha) {
                    // Premultiplied: each channel is colour * alpha / 255.
                    const int r = qBound(0, int(p[0] * norm / 255.f + 0.5f), ia);
                    const int g = qBound(0, int(p[1] * norm / 255.f + 0.5f), ia);
                    const int b = qBound(0, int(p[2] * norm / 255.f + 0.5f), ia);
                    out[x] = qRgba(r, g, b, ia);
                } else {
                    const float inv = a > 0.f ? 1.f / a : 0.f;
                    const int r = qBound(0, int(p[0] * norm * inv + 0.5f), 255);
                    const int g = qBound(0, int(p[1] * norm * inv + 0.5f), 255);
                    const int b = qBound(0, int(p[2] * norm * inv + 0.5f), 255);
                    out[x] = qRgb(r, g, b);
                }
            }
        }
        ++m_base;
        m_rows[0].swap(m_rows[1]);
        std::fill(m_rows[1].begin(), m_rows[1].end(), 0.f);
    }

    int m_sw, m_tw, m_th;
    bool m_alpha;
    QImage m_out;
    std::vector<int> m_xIndex, m_yIndex;
    std::vector<float> m_xFirst, m_yFirst;
    std::vector<float> m_line;
    std::vector<float> m_rows[2];
    int m_y = 0;    // next source row
    int m_base = 0; // target row held in m_rows[0]
};
