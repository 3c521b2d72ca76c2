#include "dashrec/assist/Fcws.h"

#include "dashrec/assist/AdasShared.h"
#include "dashrec/assist/FsAdas.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int FRAME_W = ADAS_FRAME_W;
constexpr int CHROMA_W = ADAS_FRAME_W / 2;
constexpr int NIGHT_BRIGHTNESS = 80; // a mean at or below it is night
constexpr int ANALYSIS_SPEED = 30;   // km/h; slower, nothing is analysed
constexpr int LOWEST_MIN_SPEED = 10;
constexpr int HISTORY = 4;
constexpr int PROFILE = 55;          // 4-pixel columns of the edge window
constexpr int LAMP_SUMS = 44;
constexpr int MAX_LAMPS = 10;
constexpr int CONFIRMED_CALLS = 3;   // history slots of one class that place a vehicle
constexpr int LOST_CALLS = 10;

struct FSRect {
    int32_t width;
    int32_t height;
    int32_t x;
    int32_t y;
};

struct FSPoint {
    int32_t x;
    int32_t y;
};

struct PEAK {
    int32_t column;
    int32_t value;
};

struct PAIR_PEAK {
    PEAK left;
    PEAK right;
};

struct Window {
    int32_t x, y, w, h;
};

// The detector's working record, cleared by init_fcws.
struct FCWS_WORK {
    int32_t night;
    int32_t pairScore;
    int32_t warnState; // FCWS_NONE, or the class of the last warning
    int32_t lampCount;
    Window shade;
    Window bump;
    int32_t edgeX, edgeW, edgeH;
    int32_t lampX, lampW, lampH;
    int32_t history[HISTORY];
    int32_t profile[PROFILE];
    int32_t lampUpper[LAMP_SUMS];
    int32_t lampLower[LAMP_SUMS];
    int32_t pairCount[HISTORY];
    FSRect lamps[MAX_LAMPS];
    PAIR_PEAK pairs[HISTORY][PROFILE];
};

constexpr int EDGE_W = 220;
constexpr int EDGE_H = 40;
constexpr int LAMP_W = 160;
constexpr int LAMP_H = 56;
constexpr int TEMPLATE_W = 120;

FCWS_WORK _fcws;
uint8_t src_yuv420[ADAS_420_SIZE];
const uint8_t* const fcwsBuf = src_yuv420;
uint8_t yEdgeMap[EDGE_W * EDGE_H];
int32_t saliency_w[LAMP_W * LAMP_H];
uint8_t saliencyMap[LAMP_W * LAMP_H];
uint8_t edgeTemplate2[EDGE_H * TEMPLATE_W];
uint8_t inputbuf_fcws[LAMP_W * LAMP_H];
int32_t labelbuf_fcws[LAMP_W * LAMP_H];
FSPoint Stack[4000];
int stack_top;

const int sobel_maskY[3][3] = {{-1, 0, 1}, {-2, 0, 2}, {-1, 0, 1}};
const double shadeWeight[9] = {1.0, 2.2, 2.2, 2.0, 2.0, 2.0, 2.2, 2.2, 1.0};

int before_minY = -1; // the shade finder's last row
int before_maxY = -1; // the bump finder's last row

int frame_cnt = -1;
int stsStickFcws = 0;
int FV_DETECTED = 0;
int cprBtmline = -1;
int lost_FVs_Timer = 0;
int warning_timer = 0;

uint8_t Luma(int x, int y)
{
    return fcwsBuf[y * FRAME_W + x];
}

uint8_t V(int x, int y)
{
    return fcwsBuf[ADAS_420_V + y * CHROMA_W + x];
}

// The search stays in the middle of the picture, below the sky.
void ClampWindow(int& x, int& y, int& w, int& h)
{
    if (x < 240)
        x = 240;
    if (x + w > 720)
        w = 719 - x;
    if (y < 200)
        y = 0;
    if (y + h > 460)
        h = 459 - y;
}

void InitStack()
{
    stack_top = 0;
}

bool IsStackEmpty()
{
    return stack_top == 0;
}

bool IsStackFull()
{
    return stack_top == static_cast<int>(sizeof(Stack) / sizeof(Stack[0]));
}

int Push(FSPoint p)
{
    if (IsStackFull())
        return 0;
    Stack[stack_top++] = p;
    return 1;
}

FSPoint Pop()
{
    if (IsStackEmpty())
        return FSPoint{0, 0};
    return Stack[--stack_top];
}

// A finder's row is kept only when it is near the one found before.
int FollowRow(int row, int& before, int maxJump)
{
    if (before == -1 || std::abs(row - before) <= maxJump) {
        before = row;
        return row;
    }
    before = -1;
    return -1;
}

int ClassOf(int row, int y, int farRows)
{
    if (row < y)
        return FCWS_NONE;
    return row < y + farRows ? FCWS_FAR : FCWS_NEAR;
}

int SampledSum(int x0, int y0, int w, int rows, int* count)
{
    int sum = 0;
    for (int r = y0; r < y0 + rows; r += 2) {
        for (int c = x0; c < x0 + w; c += 2) {
            sum += Luma(c, r);
            (*count)++;
        }
    }
    return sum;
}

int BandSum(int x, int w, int firstRow, int rows)
{
    int sum = 0;
    for (int r = firstRow; r < firstRow + rows; r++)
        for (int c = x; c < x + w; c++)
            sum += Luma(c, r);
    return sum;
}

int getShadePositionHorizon(int x, int y, int w, int h, int* outX)
{
    ClampWindow(x, y, w, h);
    int block = w / 7;
    int step = std::max(1, block - 5);
    int best = 255;
    *outX = 0;
    for (int bx = x; bx < x + w - block; bx += step) {
        int mean = BandSum(bx, block, y, h) / (h * block);
        auto value = static_cast<int>(mean / shadeWeight[(bx - x) / block]);
        if (value < best) {
            best = value;
            *outX = bx;
        }
    }
    return 1;
}

int getSobelEdgeY(int x, int y, int w, int h, int32_t* profile, uint8_t* map)
{
    ClampWindow(x, y, w, h);
    std::memset(map, 0, EDGE_W * EDGE_H);
    w = std::min(w, EDGE_W);
    h = std::min(h, EDGE_H);
    for (int r = 1; r < h - 1; r++) {
        for (int c = 1; c < w - 1; c++) {
            int response = 0;
            for (int i = 0; i < 3; i++)
                for (int j = 0; j < 3; j++)
                    response += sobel_maskY[i][j] * Luma(x + c + j - 1, y + r + i - 1);
            int magnitude = std::abs(response);
            map[r * EDGE_W + c] = magnitude <= 49 ? 0 : magnitude > 255 ? 255 : static_cast<uint8_t>(response);
        }
    }
    for (int k = 0; k < w / 4 && k < PROFILE; k++) {
        int sum = 0;
        for (int r = 0; r < h; r++)
            for (int c = 4 * k; c < 4 * k + 4; c++)
                sum += map[r * EDGE_W + c];
        profile[k] = sum >> 3;
    }
    return 1;
}

// The right half mirrored onto the left: a vehicle's back is symmetric.
int matchEdge(const uint8_t* map, int x1, int x2)
{
    int mid = (x1 + x2) >> 1;
    int half = std::min(mid - x1, TEMPLATE_W);
    if (half <= 0)
        return 0;
    for (int r = 0; r < EDGE_H; r++)
        for (int c = 1; c < half; c++)
            edgeTemplate2[r * TEMPLATE_W + c] = map[r * EDGE_W + x2 - c];
    long difference = 0;
    long left = 0;
    for (int r = 0; r < EDGE_H; r++) {
        for (int c = 0; c < half; c++) {
            int value = map[r * EDGE_W + x1 + c];
            left += value;
            difference += std::abs(value - edgeTemplate2[r * TEMPLATE_W + c]);
        }
    }
    double samples = static_cast<double>(EDGE_H) * half;
    return difference / samples < 1.2 * (left / samples) ? 1 : 0;
}

bool SymmetricProfile(const int32_t* profile, int i, int j)
{
    int mid = (i + j) >> 1;
    int sum = 0;
    int count = 0;
    for (int k = 0; i + k <= mid && j - k >= mid; k++) {
        sum += std::abs(profile[i + k] - profile[j - k]);
        count++;
    }
    return sum / count < (profile[i] + profile[j]) / 12;
}

bool MirroredEdges(const uint8_t* map, int i, int j)
{
    const int tries[6][2] = {{i - 1, j}, {i, j - 1}, {i, j}, {i, j}, {i + 1, j}, {i, j + 1}};
    for (const auto& t : tries) {
        if (matchEdge(map, 4 * t[0], 4 * t[1]))
            return true;
    }
    return false;
}

// Pairs of strong edge columns either side of the lane centre: the sides of
// the vehicle ahead.
int pairingEdgeY(const uint8_t* map, const int32_t* profile, PAIR_PEAK* pairs)
{
    int peaks[PROFILE];
    int count = 0;
    for (int k = 1; k <= PROFILE - 2; k++) {
        if (profile[k] > profile[k - 1] && profile[k] > profile[k + 1] && profile[k] >= 401)
            peaks[count++] = k;
    }
    int held = 0;
    for (int a = 0; a < count; a++) {
        for (int b = a + 1; b < count; b++) {
            int i = peaks[a];
            int j = peaks[b];
            if (j - i <= 6 || j - i > 32 || i > 27 || j < 27)
                continue;
            if (!SymmetricProfile(profile, i, j) || !MirroredEdges(map, i, j))
                continue;
            if (held < PROFILE)
                pairs[held++] = PAIR_PEAK{{i, profile[i]}, {j, profile[j]}};
        }
    }
    return held;
}

int getLampVolume(int x, int y, int w, int h)
{
    ClampWindow(x, y, w, h);
    long sum = 0;
    long count = 0;
    for (int r = y; r < y + h; r += 2) {
        for (int c = x; c < x + w; c += 2) {
            sum += V(c >> 1, r >> 1);
            count++;
        }
    }
    return count > 0 && static_cast<double>(sum) / count > 150.0 ? 1 : 0;
}

int getAverage(int x, int y, int w, int h, int32_t* out)
{
    ClampWindow(x, y, w, h);
    int count = 0;
    int sum = SampledSum(x, y, w, h, &count);
    double m = static_cast<double>(sum) / std::max(count, 1) - 20.0;
    for (int r = y; r < y + h; r++) {
        for (int c = x; c < x + w; c++) {
            double d = Luma(c, r) - m;
            out[(r - y) * LAMP_W + (c - x)] = static_cast<int32_t>(d * d);
        }
    }
    return static_cast<int>(m);
}

void setNormalize(const int32_t* values, uint8_t* map, int a, int b, int width, int height, int32_t* upper,
                  int32_t* lower)
{
    for (int r = 0; r < height; r++) {
        for (int c = 0; c < width; c++) {
            if (c < a || c >= b)
                map[r * width + c] = 0;
        }
    }
    int lo = values[a];
    int hi = values[a];
    for (int r = 0; r < height; r += 2) {
        for (int c = a; c < b; c += 2) {
            lo = std::min(lo, values[r * width + c]);
            hi = std::max(hi, values[r * width + c]);
        }
    }
    int range = hi - lo == 0 ? 1 : hi - lo;
    int floor = lo + range / 16;
    int divisor = std::max(1, range / 2);
    for (int r = 0; r < height; r++) {
        for (int c = a; c < b; c++) {
            int v = std::min(255, (values[r * width + c] - floor) * 256 / divisor);
            map[r * width + c] = static_cast<uint8_t>(v <= 99 ? 0 : v);
        }
    }
    for (int c = a, k = 0; c < b && k < LAMP_SUMS; c += 5, k++) {
        upper[k] = lower[k] = 0;
        for (int r = 0; r < height / 2; r++)
            upper[k] += map[r * width + c];
        for (int r = height / 2; r < 2 * (height / 2); r++)
            lower[k] += map[r * width + c];
    }
}

FSRect GrowComponent(int c, int r, int w, int h, int label)
{
    int minX = c, maxX = c, minY = r, maxY = r;
    InitStack();
    labelbuf_fcws[r * w + c] = label;
    Push(FSPoint{c, r});
    while (!IsStackEmpty()) {
        FSPoint p = Pop();
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
        for (int dy = -1; dy <= 1; dy++) {
            for (int dx : {-1, 1}) {
                int nx = p.x + dx;
                int ny = p.y + dy;
                if (nx < 0 || nx >= w || ny < 0 || ny >= h)
                    continue;
                if (inputbuf_fcws[ny * w + nx] == 255 && labelbuf_fcws[ny * w + nx] == 0) {
                    labelbuf_fcws[ny * w + nx] = label;
                    Push(FSPoint{nx, ny});
                }
            }
        }
    }
    return FSRect{maxX - minX + 1, maxY - minY + 1, minX, minY};
}

// Saturated blobs of a lamp's size: rear-light candidates.
int LabelingRearLight(const uint8_t* map, int w, int h, FSRect* rects)
{
    std::memcpy(inputbuf_fcws, map, static_cast<size_t>(w) * h);
    std::fill(labelbuf_fcws, labelbuf_fcws + w * h, 0);
    int n = 0;
    int label = 0;
    for (int r = 1; r <= h - 2; r++) {
        for (int c = 1; c <= w - 2; c++) {
            if (inputbuf_fcws[r * w + c] != 255 || labelbuf_fcws[r * w + c] != 0)
                continue;
            if (n == MAX_LAMPS)
                return n;
            FSRect box = GrowComponent(c, r, w, h, ++label);
            if (box.width >= 3 && box.width <= 40 && box.height >= 3 && box.height <= 20)
                rects[n++] = box;
        }
    }
    return n;
}

// Two blobs side by side, of one size, mirroring each other: a pair of lights.
int matchRectangle(const uint8_t* map, int width, FSRect a, FSRect b)
{
    if (b.x < a.x)
        std::swap(a, b);
    if (std::abs(a.y - b.y) > 2 || std::abs((a.y + a.height) - (b.y + b.height)) > 4 ||
        std::abs(a.width - b.width) > 6)
        return 0;
    int distance = b.x - a.x;
    if (distance <= 22 || distance >= 16 * a.width)
        return 0;
    int mw = std::min(a.width, b.width);
    int mh = std::min(a.height, b.height);
    long sum = 0;
    for (int r = 0; r < mh; r++) {
        for (int c = 0; c < mw; c++) {
            int mirrored = std::min(b.x + b.width - c, width - 1);
            sum += static_cast<uint8_t>(map[(a.y + r) * width + a.x + c] - map[(b.y + r) * width + mirrored]);
        }
    }
    return static_cast<double>(sum) / (mw * mh) < 70.0 ? 1 : 0;
}

int getRectV(int x, int y, int w, int h, int stride)
{
    long sum = 0;
    for (int r = y; r < y + h; r++)
        for (int c = x; c < x + w; c++)
            sum += fcwsBuf[ADAS_420_V + r * stride + c];
    return static_cast<double>(sum) / (w * h) > 133.0 ? 1 : 0;
}

int getBumpPosition(int x, int y, int w, int h, int* bottom)
{
    ClampWindow(x, y, w, h);
    int best = -1;
    int row = 0;
    for (int r = y; r < y + h - 8; r += 4) {
        int step = std::abs(BandSum(x, w, r, 4) - BandSum(x, w, r + 2, 4));
        if (step > best) {
            best = step;
            row = r;
        }
    }
    if (best < 2100)
        row = 0;
    row = FollowRow(row, before_maxY, 32);
    *bottom = row;
    return ClassOf(row, y, h / 2);
}

void init_fcws()
{
    std::memset(&_fcws, 0, sizeof(_fcws));
    _fcws.shade = Window{460, 310, 40, 56};
    _fcws.bump = Window{460, 310, 40, 60};
    _fcws.edgeX = 370;
    _fcws.edgeW = EDGE_W;
    _fcws.edgeH = EDGE_H;
    _fcws.lampX = 400;
    _fcws.lampW = LAMP_W;
    _fcws.lampH = LAMP_H;
}

// The windows follow the lane centre when the lane detector gives one.
void PlaceWindows(FCWS_CONFIG* config)
{
    if (config->laneX <= 0)
        return;
    config->laneX = std::clamp(config->laneX, 430, 530);
    config->laneY = std::clamp(config->laneY, 260, 320);
    int x = config->laneX;
    int y = config->laneY;
    _fcws.shade.x = x - 20;
    _fcws.shade.y = y + 25;
    _fcws.bump.x = x - 20;
    _fcws.bump.y = y + 5;
    _fcws.edgeX = x - 110;
    _fcws.lampX = x - 80;
}

// The faster the car, the farther ahead the search begins.
int SpeedBand(int speed)
{
    const int limits[] = {40, 50, 60, 70, 80, 90};
    int band = 0;
    while (band < 6 && speed >= limits[band])
        band++;
    return band;
}

bool PairsAgree(const PAIR_PEAK& a, const PAIR_PEAK& b)
{
    return std::abs(a.left.column - b.left.column) < 12 && std::abs(a.right.column - b.right.column) < 12;
}

void ShiftPairHistory()
{
    for (int slot = HISTORY - 1; slot > 0; slot--) {
        _fcws.pairCount[slot] = _fcws.pairCount[slot - 1];
        std::memcpy(_fcws.pairs[slot], _fcws.pairs[slot - 1], sizeof(_fcws.pairs[slot]));
    }
}

// By day: the dark shade under the vehicle, confirmed by its two sides
// standing where they stood on one of the last calls.
int AnalyseDay(int speed)
{
    const int offsets[7] = {16, 14, 11, 8, 5, 2, 0};
    const Window& s = _fcws.shade;
    int bottom = 0;
    _fcws.history[frame_cnt % HISTORY] = getShadePosition(s.x, s.y + offsets[SpeedBand(speed)], s.w, s.h, 80, &bottom);
    if (bottom <= 0)
        return bottom;
    int hx = 0;
    getShadePositionHorizon(s.x - 160, bottom - 5, 360, 12, &hx);
    if (s.x - 50 < hx && hx < s.x + s.w + 50) {
        getSobelEdgeY(_fcws.edgeX, bottom - _fcws.edgeH, _fcws.edgeW, _fcws.edgeH, _fcws.profile, yEdgeMap);
        _fcws.pairCount[0] = pairingEdgeY(yEdgeMap, _fcws.profile, _fcws.pairs[0]);
    } else {
        _fcws.pairCount[0] = 0;
    }
    for (int p = 0; p < _fcws.pairCount[0]; p++)
        for (int slot = 1; slot < HISTORY; slot++)
            for (int q = 0; q < _fcws.pairCount[slot]; q++)
                if (PairsAgree(_fcws.pairs[0][p], _fcws.pairs[slot][q]))
                    FV_DETECTED = 3;
    ShiftPairHistory();
    return bottom;
}

struct NightBand {
    int margin;
    int averageOffset;
    int bumpOffset;
};

bool LightsAreRed(const FSRect& lamp, int bottom)
{
    return getRectV((lamp.x + _fcws.lampX) >> 1, (lamp.y + bottom - (2 * LAMP_H) / 3) >> 1, lamp.width >> 1,
                    lamp.height >> 1, CHROMA_W) == 1;
}

int CountLightPairs(int bottom)
{
    int found = 0;
    for (int i = 0; i < _fcws.lampCount; i++)
        for (int j = i + 1; j < _fcws.lampCount; j++)
            if (matchRectangle(saliencyMap, LAMP_W, _fcws.lamps[i], _fcws.lamps[j]) &&
                LightsAreRed(_fcws.lamps[i], bottom) && LightsAreRed(_fcws.lamps[j], bottom))
                found++;
    return found;
}

// By night: the bumper's brightness step, red light around it, and a pair
// of rear lights.
int AnalyseNight(int speed)
{
    const NightBand bands[7] = {{3, 0, 17}, {4, 0, 15}, {8, 4, 11}, {16, 4, 7}, {20, 8, 5}, {28, 16, 1}, {0, 0, 0}};
    const NightBand& band = bands[SpeedBand(speed)];
    const Window& b = _fcws.bump;
    int bottom = 0;
    _fcws.history[frame_cnt % HISTORY] = getBumpPosition(b.x, b.y + band.bumpOffset, b.w, b.h, &bottom);
    if (getLampVolume(_fcws.lampX, b.y - 28, _fcws.lampW, _fcws.lampH) == 1)
        FV_DETECTED = 5;
    if (bottom <= 0)
        return bottom;
    int top = bottom - (2 * LAMP_H) / 3 - 8 + band.averageOffset;
    getAverage(_fcws.lampX, top, _fcws.lampW, _fcws.lampH, saliency_w);
    setNormalize(saliency_w, saliencyMap, band.margin, LAMP_W - band.margin, LAMP_W, LAMP_H, _fcws.lampUpper,
                 _fcws.lampLower);
    _fcws.lampCount = LabelingRearLight(saliencyMap, LAMP_W, LAMP_H, _fcws.lamps);
    int pairs = CountLightPairs(bottom);
    for (int p = 0; p < pairs; p++) {
        _fcws.pairScore += 2;
        if (_fcws.pairScore > 2) {
            FV_DETECTED = 3;
            _fcws.pairScore = 0;
        }
    }
    if (pairs == 0 && _fcws.pairScore > 0)
        _fcws.pairScore--;
    return bottom;
}

// A warning needs the vehicle nearer than at the last one, unless it was lost.
void TryWarn(int state, int bottom, FCWS_CONFIG* config)
{
    int nearer = bottom - cprBtmline;
    if (cprBtmline == -1 || (nearer >= 3 && nearer <= 33)) {
        cprBtmline = bottom;
        config->result = 1;
        _fcws.warnState = state;
    }
}

void KeepBooks(int bottom, FCWS_CONFIG* config)
{
    if (bottom <= 0) {
        if (++lost_FVs_Timer > LOST_CALLS) {
            cprBtmline = -1;
            lost_FVs_Timer = 0;
        }
    } else {
        lost_FVs_Timer = 0;
    }
    int far = static_cast<int>(std::count(_fcws.history, _fcws.history + HISTORY, FCWS_FAR));
    int near = static_cast<int>(std::count(_fcws.history, _fcws.history + HISTORY, FCWS_NEAR));
    if (FV_DETECTED > 0 && bottom > 0) {
        if (far >= CONFIRMED_CALLS && _fcws.warnState == FCWS_NONE)
            TryWarn(FCWS_FAR, bottom, config);
        else if (near >= CONFIRMED_CALLS && _fcws.warnState != FCWS_NEAR)
            TryWarn(FCWS_NEAR, bottom, config);
    } else if (FV_DETECTED <= 0) {
        _fcws.warnState = _fcws.warnState == FCWS_NEAR ? FCWS_FAR : FCWS_NONE;
    }
    if (FV_DETECTED > 1)
        FV_DETECTED--;
    else if (far < CONFIRMED_CALLS && near < CONFIRMED_CALLS)
        FV_DETECTED = 0;
}

// One warning, then quiet for the hold; none below the minimum speed.
void Settle(FCWS_CONFIG* config)
{
    if (warning_timer > 0 && config->result == 1) {
        config->result = 0;
        _fcws.warnState = FCWS_NONE;
    }
    if (warning_timer > 0)
        warning_timer--;
    if (config->speed < config->minSpeed) {
        config->result = 0;
        _fcws.warnState = FCWS_NONE;
        cprBtmline = -1;
    }
    if (warning_timer <= 0 && config->result == 1)
        warning_timer = config->hold > 7 ? config->hold : 4;
}

void Analyse(const uint8_t* luma, const uint8_t* chroma, FCWS_CONFIG* config)
{
    if (stsStickFcws == 0) {
        init_fcws();
        stsStickFcws = 1;
        config->laneX = config->laneY = 0;
        return;
    }
    if (config->speed < ANALYSIS_SPEED)
        return;
    __fs_gfx_convert540__nv21_to_420_Y_UV(luma, chroma, src_yuv420);
    PlaceWindows(config);
    int bottom = _fcws.night ? AnalyseNight(config->speed) : AnalyseDay(config->speed);
    KeepBooks(bottom, config);
}

} // namespace

int getShadePosition(int x, int y, int w, int h, int, int* bottom)
{
    ClampWindow(x, y, w, h);
    // A shade is darker than two thirds of the road around it.
    int count = 0;
    int sum = 0;
    for (int shift : {-60, 0, 60})
        sum += SampledSum(x + shift, y - 10, w, h + 20, &count);
    int reference = 2 * (sum / (3 * count));
    int best = 0;
    int row = 0;
    bool first = true;
    for (int r = y; r < y + h - 3; r += 2) {
        int mean = BandSum(x, w, r, 3) / (3 * w);
        if (r > y + (2 * h) / 3)
            mean += mean / 15;
        if (first || mean < best) {
            best = mean;
            row = r;
            first = false;
        }
    }
    if (best > reference)
        row = 0;
    row = FollowRow(row, before_minY, 19);
    *bottom = row;
    return ClassOf(row, y, (2 * h) / 5);
}

int __FS_StickFcwsFramework(const uint8_t* luma, const uint8_t* chroma, FCWS_CONFIG* config)
{
    frame_cnt++;
    config->result = 0;
    if (config->minSpeed <= 9)
        config->minSpeed = LOWEST_MIN_SPEED;
    _fcws.night = _shared_adas_data.brightness <= NIGHT_BRIGHTNESS ? 1 : 0;
    Analyse(luma, chroma, config);
    Settle(config);
    return 1;
}
