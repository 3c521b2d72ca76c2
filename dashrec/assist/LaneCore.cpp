#include "dashrec/assist/LaneCore.h"

#include "dashrec/assist/AdasShared.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

LDWS_GEOMETRY _ldws;

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int ONE = 1024; // fixed-point unit of the sine table
constexpr int THETA_MIN = 10;
constexpr int THETA_SPLIT = 90; // left lines below, right lines from here
constexpr int THETA_END = 170;
constexpr int SLOTS_PER_SIDE = 4;
constexpr int EDGE_STEP = 23;    // grey step of a stripe's side
constexpr int EDGE_VOTE = 70;    // edge values that vote
constexpr int PEAK_VOTES = 4;    // a candidate has more votes
constexpr unsigned MAX_SPREAD = 400;
constexpr int REJECTED = 180;    // score of a side whose candidates disagree
constexpr int JUMP = 35;         // a move of a line between frames that is no move
constexpr int HORIZON_ROW = 135; // the horizon the calibration expects
constexpr int VP_LIMIT = 35;     // how far the vanishing point may lie from it
constexpr int MAX_REJECTIONS = 100;
constexpr int VP_STEP_CALLS = 8; // a running frame in so many follows the vanishing point

struct SinCos {
    int s[180];
    int c[180];
    SinCos()
    {
        for (int t = 0; t < 180; t++) {
            s[t] = static_cast<int>(std::floor(ONE * std::sin(t * PI / 180)));
            c[t] = static_cast<int>(std::floor(ONE * std::cos(t * PI / 180)));
        }
        // No divisor may be zero; the two halves are kept as the table was made.
        s[0] = 1;
        s[90] = ONE - 1;
        c[90] = 1;
        s[30] = 511;
        s[150] = 512;
    }
};
const SinCos lutSinCos;

int S(int theta)
{
    return lutSinCos.s[theta];
}

int C(int theta)
{
    return lutSinCos.c[theta];
}

uint8_t _buf_binary_edge[230400];
uint16_t _buf_graph_hough[691200 / sizeof(uint16_t)];
uint8_t* const edgeMap = _buf_binary_edge;
uint16_t* const houghGraph = _buf_graph_hough;

enum SIDE { LEFT = 0, RIGHT = 1 };

enum LANE_STATE { SAFE = 0, DEPARTING = 1, WATCHING = 2, LOST = 3, JUMPED = 4, CROSSED = 5 };

// The two-lane decision's memory of one side.
struct LaneSide {
    int ldwsState = SAFE;
    int errFreeze = 0;
    int flgWarning = 0;
    int pre_xLoc = -1;
    uint8_t pre_xLocCenter = 255;
    uint8_t warningFlg = 1;
    FS_QUE qDx{};
    FS_QUE pre_dx{};
};
LaneSide sides[2];
bool pre_dxInit = true;

int dueCount;
RT_COORDINATES coreValid[2];
RT_COORDINATES calibValid[2];
unsigned calibCnt;
unsigned frameCnt;
unsigned errorCnt;

int Sign(int v)
{
    return (v > 0) - (v < 0);
}

int Sum(const uint8_t* row, int from, int to)
{
    int sum = 0;
    for (int x = from; x <= to; x++)
        sum += row[x];
    return sum;
}

int NonZero(const uint8_t* row, int from, int to)
{
    int count = 0;
    for (int x = from; x <= to; x++)
        count += row[x] != 0;
    return count;
}

int WarningX(int angle, int row)
{
    int y = row;
    return HTransformRTheta2XY(GetRhoFromRule(angle), angle, &y);
}

int LineX(const RT_COORDINATES& line, int row)
{
    int y = row;
    return HTransformRTheta2XY(line.rho, line.theta, &y);
}

// Keeps a line of the running mode: stray pixels and horizontal clutter
// go, pixels that continue a slanted line towards the horizon stay.
void FilterRunningPixel(uint8_t* edge, int w, int x, int y, bool leftHalf)
{
    uint8_t* row = edge + y * w;
    const uint8_t* above = row - w;
    const uint8_t* below = row + w;
    const uint8_t* above2 = row - 2 * w;
    const uint8_t* below2 = row + 2 * w;
    if (x >= 20 && x <= w - 21 && NonZero(row, x - 20, x - 1) > 5)
        std::memset(row + x - 20, 0, 20);
    int s1 = leftHalf ? Sum(above, x, x + 2) + Sum(below, x - 2, x) : Sum(above, x - 2, x) + Sum(below, x, x + 2);
    if (s1 == 0) {
        row[x] = 0;
        return;
    }
    int s2 = leftHalf ? Sum(above2, x + 1, x + 4) + Sum(below2, x - 4, x - 1)
                      : Sum(above2, x - 4, x - 1) + Sum(below2, x + 1, x + 4);
    if (s2 < 2)
        row[x] = 0;
}

// Sorted by votes, best first; equal votes keep the earlier line.
void InsertCandidate(RT_COORDINATES* slots, RT_COORDINATES line)
{
    for (int i = 0; i < SLOTS_PER_SIDE; i++) {
        if (slots[i].score < line.score)
            std::swap(slots[i], line);
    }
}

RT_COORDINATES EvaluateSide(const RT_COORDINATES* slots)
{
    int count = 0;
    int rhoSum = 0;
    int thetaSum = 0;
    for (int i = 0; i < SLOTS_PER_SIDE; i++) {
        if (slots[i].theta == 0)
            continue;
        count++;
        rhoSum += slots[i].rho;
        thetaSum += slots[i].theta;
    }
    if (count == 0)
        return RT_COORDINATES{0, 0, 0};
    int rhoMean = rhoSum / count;
    int thetaMean = thetaSum / count;
    unsigned spread = 0;
    for (int i = 0; i < SLOTS_PER_SIDE; i++) {
        if (slots[i].theta == 0)
            continue;
        int dr = slots[i].rho - rhoMean;
        int dt = slots[i].theta - thetaMean;
        spread += static_cast<unsigned>(dr * dr + dt * dt);
    }
    if (spread > MAX_SPREAD)
        return RT_COORDINATES{0, 0, REJECTED};
    return RT_COORDINATES{slots[0].rho, slots[0].theta, count};
}

bool SmallMoves(const FS_QUE& q)
{
    for (int i = 0; i < 3; i++) {
        if (std::abs(q.slots[i]) > JUMP)
            return false;
    }
    return true;
}

// The line has gone: a departure when it was just outside its warning line,
// ran towards the centre and both sides had been moving that way.
void DecideLostSide(int side)
{
    LaneSide& s = sides[side];
    if (s.ldwsState != DEPARTING)
        s.ldwsState = LOST;
    if (!s.warningFlg)
        return;
    s.warningFlg = 0;
    int sumL = sides[LEFT].qDx.sum;
    int sumR = sides[RIGHT].qDx.sum;
    bool outside = side == LEFT ? s.pre_xLoc < _ldws.warnXLeft : s.pre_xLoc > _ldws.warnXRight;
    auto distance = static_cast<uint8_t>(side == LEFT ? _ldws.warnXLeft - s.pre_xLoc : s.pre_xLoc - _ldws.warnXRight);
    bool moving = side == LEFT ? sumL > 6 && sumR > 6 : sumL < -6 && sumR < -61;
    if (outside && s.pre_xLocCenter <= 5 && distance < 10 && s.qDx.held >= 5 && moving && SmallMoves(s.pre_dx))
        s.ldwsState = DEPARTING;
}

int DecideLeft(int xLoc, int& dx, int theta, int held)
{
    int sumL = sides[LEFT].qDx.sum;
    int sumR = sides[RIGHT].qDx.sum;
    int xl = _ldws.warnXLeft;
    if (xLoc < xl)
        return SAFE;
    if (xLoc > _ldws.vanishX + 3)
        return CROSSED;
    if (dx > JUMP) {
        dx = 0;
        return JUMPED;
    }
    if (sumL > 2 && dx != 0 && held >= 2)
        return DEPARTING;
    if (sumL >= 2 && sumR >= 0 && std::abs(xl - xLoc) <= 5 && dx > 0 && dx < JUMP && held >= 2 &&
        theta >= _ldws.angleLeft - 6)
        return DEPARTING;
    if (xLoc > xl + 18 || theta >= _ldws.angleLeft + 13) {
        dx = 0;
        return JUMPED;
    }
    return WATCHING;
}

int DecideRight(int xLoc, int& dx, int theta, int held)
{
    int sumL = sides[LEFT].qDx.sum;
    int sumR = sides[RIGHT].qDx.sum;
    int xr = _ldws.warnXRight;
    if (xLoc > xr)
        return SAFE;
    if (xLoc < _ldws.vanishX - 3)
        return CROSSED;
    if (dx < -JUMP) {
        dx = 0;
        return JUMPED;
    }
    if (sumR < -2 && dx != 0 && held >= 2)
        return DEPARTING;
    if (sumL < 1 && sumR < -1 && std::abs(xr - xLoc) < 6 && dx > -JUMP && dx < 0 && held >= 2 &&
        theta <= _ldws.angleRight + 6)
        return DEPARTING;
    if (xLoc <= xr - 18 || theta <= _ldws.angleRight - 13) {
        dx = 0;
        return JUMPED;
    }
    return WATCHING;
}

// Returns the line's x at the bottom row of the region.
int DecideFoundSide(int side, const RT_COORDINATES& line)
{
    LaneSide& s = sides[side];
    int xLoc = LineX(line, _ldws.regionHeight);
    s.pre_xLocCenter = static_cast<uint8_t>(std::abs(LineX(line, _ldws.topRow) - _ldws.vanishX));
    int dx = 0;
    if (s.pre_xLoc != -1) {
        dx = xLoc - s.pre_xLoc;
        PushQ(&s.pre_dx, dx);
    }
    s.pre_xLoc = xLoc;
    int held = s.qDx.held;
    s.ldwsState = side == LEFT ? DecideLeft(xLoc, dx, line.theta, held) : DecideRight(xLoc, dx, line.theta, held);
    if (std::abs(dx) > JUMP)
        InitQ(&s.qDx, 8);
    else if (dx != 0)
        PushQ(&s.qDx, dx);
    return xLoc;
}

void Lower(int& v)
{
    v = std::max(0, v - 1);
}

void ActOnState(int side)
{
    LaneSide& s = sides[side];
    switch (s.ldwsState) {
    case SAFE:
        s.warningFlg = 1;
        Lower(s.errFreeze);
        Lower(s.flgWarning);
        break;
    case WATCHING:
    case LOST:
        Lower(s.flgWarning);
        break;
    case DEPARTING:
        if (s.errFreeze == 0) {
            s.flgWarning = 1;
            sides[LEFT].errFreeze++;
            sides[RIGHT].errFreeze++;
        } else {
            s.ldwsState = LOST;
            sides[LEFT].flgWarning = sides[RIGHT].flgWarning = 0;
        }
        break;
    default:
        s.errFreeze = 8;
        break;
    }
}

// Both lines in their places, but closer together than the warning lines
// allow: what looked like a departure was not one.
void ClearImplausibleWarnings(const RT_COORDINATES* lanes, const int* xLoc)
{
    if (lanes[LEFT].theta == 0 || lanes[RIGHT].theta == 0)
        return;
    if (!(xLoc[LEFT] < _ldws.vanishX && _ldws.vanishX < xLoc[RIGHT]))
        return;
    if (xLoc[RIGHT] - xLoc[LEFT] > (_ldws.warnXRight - _ldws.warnXLeft) + 10)
        return;
    for (LaneSide& s : sides) {
        s.flgWarning = 0;
        s.errFreeze++;
    }
}

// Edges of the rows from firstRow down, filtered, voted and evaluated.
void FindLines(const uint8_t* img, int firstRow, void (*noiseFilter)(uint8_t*, int, int), RT_COORDINATES* lanes)
{
    RT_COORDINATES candidates[2 * SLOTS_PER_SIDE];
    EdgeDetectionFilter(img, edgeMap, firstRow, _ldws.regionHeight, _ldws.left, _ldws.width - _ldws.right);
    noiseFilter(edgeMap, _ldws.width, _ldws.height);
    HTransformXY2RTheta(edgeMap, candidates, _ldws.regionHeight, IsRightLane);
    EvaluationLines(candidates, lanes);
}

void Remember(const RT_COORDINATES* lanes, RT_COORDINATES* valid, int* leftRho, int* leftTheta, int* rightRho,
              int* rightTheta)
{
    if (lanes[LEFT].theta != 0) {
        valid[LEFT] = lanes[LEFT];
        *leftRho = lanes[LEFT].rho;
        *leftTheta = lanes[LEFT].theta;
    }
    if (lanes[RIGHT].theta != 0) {
        valid[RIGHT] = lanes[RIGHT];
        *rightRho = lanes[RIGHT].rho;
        *rightTheta = lanes[RIGHT].theta;
    }
}

bool BothFound(const RT_COORDINATES* lanes)
{
    return lanes[LEFT].theta != 0 && lanes[RIGHT].theta != 0;
}

void ResetCalibration()
{
    calibCnt = frameCnt = errorCnt = 0;
    _ldws.vanishY = HORIZON_ROW;
    _ldws.regionHeight = static_cast<uint16_t>(ADAS_SMALL_H - _ldws.vanishY - _ldws.bottomMargin);
    _ldws.vanishX = static_cast<uint16_t>(_ldws.width / 2);
}

} // namespace

uint8_t* LaneEdgeMap()
{
    return edgeMap;
}

void ClearHoughGraph()
{
    std::memset(houghGraph, 0, sizeof(_buf_graph_hough));
}

void UpdateWarningX(int angleLeft, int angleRight)
{
    _ldws.angleLeft = static_cast<uint16_t>(std::clamp(angleLeft, 50, 70));
    _ldws.angleRight = static_cast<uint16_t>(std::clamp(angleRight, 110, 130));
    _ldws.warnXLeft = static_cast<uint16_t>(WarningX(_ldws.angleLeft, _ldws.regionHeight));
    _ldws.warnXRight = static_cast<uint16_t>(WarningX(_ldws.angleRight, _ldws.regionHeight));
}

void InitSetting(int angleLeft, int angleRight)
{
    _ldws.width = ADAS_SMALL_W;
    _ldws.height = ADAS_SMALL_H;
    _ldws.left = 60;
    _ldws.roiWidth = 360;
    _ldws.right = 60;
    _ldws.vanishX = 240;
    _ldws.vanishY = HORIZON_ROW;
    _ldws.bottomMargin = 40;
    _ldws.regionHeight = static_cast<uint16_t>(ADAS_SMALL_H - _ldws.vanishY - _ldws.bottomMargin);
    _ldws.topRow = static_cast<uint16_t>(_ldws.regionHeight / 8);
    _ldws.rhoMin = static_cast<uint16_t>(_ldws.vanishX / 3);
    _ldws.rhoMax = _ldws.vanishX;
    _ldws.tolerance = 30;
    UpdateWarningX(angleLeft, angleRight);
}

int GetRhoFromRule(int theta)
{
    return (S(theta) * _ldws.vanishX + 512) / ONE;
}

int IsRightLane(int rho, int theta)
{
    if (theta < THETA_MIN || theta > THETA_END)
        return 0;
    return std::abs(rho - GetRhoFromRule(theta)) <= _ldws.tolerance ? 1 : 0;
}

int HTransformRTheta2XY(int rho, int theta, int* y)
{
    if (theta < 0 || theta >= 180)
        return 0;
    int s = S(theta);
    int c = C(theta);
    int x = (ONE * rho - c * *y + s / 2) / s;
    if (x < 0) {
        x = 0;
        *y = (ONE * rho + c / 2) / c;
    } else if (x >= _ldws.width) {
        x = _ldws.width - 1;
        *y = (ONE * rho - x * s + c / 2) / c;
    }
    return x;
}

void GetVanishPoint(const RT_COORDINATES& a, const RT_COORDINATES& b, int* x, int* y)
{
    int m1 = (ONE * S(a.theta) + C(a.theta) / 2) / C(a.theta);
    int m2 = (ONE * S(b.theta) + C(b.theta) / 2) / C(b.theta);
    int c1 = ((1 << 20) * a.rho + C(a.theta) / 2) / C(a.theta);
    int c2 = ((1 << 20) * b.rho + C(b.theta) / 2) / C(b.theta);
    *x = m1 == m2 ? _ldws.vanishX : (c1 - c2 + (m1 - m2) / 2) / (m1 - m2);
    *y = (ONE * a.rho - S(a.theta) * *x + C(a.theta) / 2) / C(a.theta);
}

void AdjustmentVP(int x, int dy)
{
    if (std::abs(x - _ldws.width / 2) <= VP_LIMIT)
        _ldws.vanishX = static_cast<uint16_t>(x);
    // The horizon stays where the calibration may put it, so that the rows
    // searched stay inside the picture however long the car drives.
    int vy = _ldws.vanishY + dy;
    if (std::abs(vy - HORIZON_ROW) <= VP_LIMIT)
        _ldws.vanishY = static_cast<uint16_t>(vy);
    _ldws.regionHeight = static_cast<uint16_t>(ADAS_SMALL_H - _ldws.bottomMargin - _ldws.vanishY);
    _ldws.rhoMin = static_cast<uint16_t>((_ldws.vanishX + 1) / 2);
    _ldws.rhoMax = static_cast<uint16_t>(_ldws.vanishX + _ldws.tolerance);
    _ldws.warnXLeft = static_cast<uint16_t>(WarningX(_ldws.angleLeft, _ldws.regionHeight));
    _ldws.warnXRight = static_cast<uint16_t>(WarningX(_ldws.angleRight, _ldws.regionHeight));
    _ldws.left = static_cast<uint16_t>(_ldws.vanishX - _ldws.roiWidth / 2);
    _ldws.right = static_cast<uint16_t>(_ldws.width - _ldws.vanishX - _ldws.roiWidth / 2);
    if (_ldws.roiWidth > _ldws.width)
        _ldws.roiWidth = _ldws.width;
    if (_ldws.left > _ldws.width)
        _ldws.left = 0;
    if (_ldws.right > _ldws.width)
        _ldws.right = 0;
}

// Keeps the grey value at the centre of every narrow bright stripe; the
// allowed width grows towards the bottom, where markings are wider.
void EdgeDetectionFilter(const uint8_t* img, uint8_t* edge, int yStart, int yEnd, int xStart, int xEnd)
{
    const int w = _ldws.width;
    std::memset(edge, 0, static_cast<size_t>(w) * yEnd);
    const int widthScale = 16384 / (_ldws.height - _ldws.vanishY);
    int rising = -1;
    for (int y = yStart; y < yEnd; y++) {
        const uint8_t* p = img + y * w;
        const int maxWidth = ((y * widthScale) >> 10) + 18;
        for (int x = xStart + 1; x <= xEnd - 2; x++) {
            int d = p[x + 1] - p[x - 1];
            if (d >= EDGE_STEP) {
                rising = x;
            } else if (d <= -EDGE_STEP && rising >= 0) {
                int width = x - rising;
                if (width < maxWidth)
                    edge[y * w + x - width / 2] = p[x - width / 2];
                rising = -1;
            }
        }
    }
}

void NoiseFilter(uint8_t* edge, int w, int h)
{
    const int vx = _ldws.vanishX;
    for (int y = 5; y <= h - 6; y++) {
        for (int x = 5; x <= vx - 6; x++) {
            if (edge[y * w + x] != 0)
                FilterRunningPixel(edge, w, x, y, true);
        }
        for (int x = vx + 5; x <= w - 6; x++) {
            if (edge[y * w + x] != 0)
                FilterRunningPixel(edge, w, x, y, false);
        }
    }
}

void NoiseFilter_CAL(uint8_t* edge, int w, int h)
{
    for (int y = 5; y <= h - 6; y++) {
        uint8_t* row = edge + y * w;
        const uint8_t* above = row - w;
        const uint8_t* below = row + w;
        const uint8_t* above2 = row - 2 * w;
        const uint8_t* below2 = row + 2 * w;
        for (int x = 5; x <= w - 6; x++) {
            if (row[x] == 0)
                continue;
            int near = Sum(above, x - 2, x + 2) + Sum(below, x - 2, x + 2);
            int far = Sum(above2, x - 4, x - 1) + Sum(above2, x + 1, x + 4) + Sum(below2, x - 4, x - 1) +
                      Sum(below2, x + 1, x + 4);
            if (near == 0 || far < 2)
                row[x] = 0;
        }
    }
}

void HTransformXY2RTheta(const uint8_t* edge, RT_COORDINATES* candidates, int rows, int (*filter)(int, int))
{
    const int w = _ldws.width;
    std::memset(candidates, 0, 2 * SLOTS_PER_SIDE * sizeof(RT_COORDINATES));
    for (int y = 0; y < rows; y++) {
        for (int x = _ldws.left; x < w - _ldws.right; x++) {
            if (edge[y * w + x] <= EDGE_VOTE)
                continue;
            for (int t = THETA_MIN; t < THETA_END; t++) {
                int rho = (x * S(t) + y * C(t) + 512) / ONE;
                if (rho > 0 && rho < w)
                    houghGraph[rho * 180 + t]++;
            }
        }
    }
    for (int rho = _ldws.rhoMin; rho < _ldws.rhoMax; rho++) {
        for (int t = THETA_MIN; t < THETA_END; t++) {
            int votes = houghGraph[rho * 180 + t];
            if (votes > PEAK_VOTES && filter(rho, t))
                InsertCandidate(candidates + (t < THETA_SPLIT ? 0 : SLOTS_PER_SIDE), RT_COORDINATES{rho, t, votes});
        }
    }
}

void EvaluationLines(const RT_COORDINATES* candidates, RT_COORDINATES* lanes)
{
    lanes[LEFT] = EvaluateSide(candidates);
    lanes[RIGHT] = EvaluateSide(candidates + SLOTS_PER_SIDE);
}

int DecideTwoLane(const RT_COORDINATES* lanes)
{
    if (pre_dxInit) {
        InitQ(&sides[LEFT].pre_dx, 3);
        InitQ(&sides[RIGHT].pre_dx, 3);
        pre_dxInit = false;
    }
    int xLoc[2] = {-1, -1};
    for (int side : {LEFT, RIGHT}) {
        if (sides[side].pre_xLoc == -1)
            InitQ(&sides[side].qDx, 8);
        if (lanes[side].theta == 0)
            DecideLostSide(side);
        else
            xLoc[side] = DecideFoundSide(side, lanes[side]);
        ActOnState(side);
    }
    ClearImplausibleWarnings(lanes, xLoc);
    int result = (sides[LEFT].errFreeze != 0 ? LANE_FROZEN_LEFT : 0) +
                 (sides[RIGHT].errFreeze != 0 ? LANE_FROZEN_RIGHT : 0);
    for (int side : {LEFT, RIGHT}) {
        if (sides[side].flgWarning) {
            // A warned side starts its move history afresh.
            sides[side].pre_xLoc = -1;
            return side == LEFT ? 1 : 2;
        }
    }
    return result;
}

int RunLaneCore(const uint8_t* img, int* leftRho, int* leftTheta, int* rightRho, int* rightTheta)
{
    dueCount++;
    RT_COORDINATES lanes[2];
    FindLines(img, 10, NoiseFilter, lanes);
    int decision = DecideTwoLane(lanes);
    Remember(lanes, coreValid, leftRho, leftTheta, rightRho, rightTheta);
    if (dueCount % VP_STEP_CALLS == 0 && BothFound(lanes) && decision == 0) {
        int x = 0;
        int y = 0;
        GetVanishPoint(coreValid[LEFT], coreValid[RIGHT], &x, &y);
        AdjustmentVP(_ldws.vanishX + Sign(x - _ldws.vanishX), Sign(y));
    }
    return decision;
}

int RunAutoCalibration(const uint8_t* img, int* leftRho, int* leftTheta, int* rightRho, int* rightTheta,
                       int samples)
{
    int status = CALIBRATION_GOING;
    RT_COORDINATES lanes[2];
    FindLines(img, _ldws.bottomMargin, NoiseFilter_CAL, lanes);
    Remember(lanes, calibValid, leftRho, leftTheta, rightRho, rightTheta);
    if (calibCnt < static_cast<unsigned>(samples) && BothFound(lanes)) {
        calibCnt++;
        int x = 0;
        int y = 0;
        GetVanishPoint(calibValid[LEFT], calibValid[RIGHT], &x, &y);
        int halfX = _ldws.vanishX + (x - _ldws.vanishX) / 2;
        int halfY = y / 2;
        if (std::abs(_ldws.vanishY + halfY - HORIZON_ROW) <= VP_LIMIT &&
            std::abs(halfX - _ldws.width / 2) <= VP_LIMIT) {
            AdjustmentVP(halfX, halfY);
        } else {
            if (calibCnt > 0)
                calibCnt--;
            if (errorCnt++ > MAX_REJECTIONS) {
                status = CALIBRATION_FAILED;
                ResetCalibration();
            }
        }
        if (calibCnt == static_cast<unsigned>(samples)) {
            calibCnt = 0;
            status = CALIBRATION_DONE;
            _ldws.warnXLeft = static_cast<uint16_t>(WarningX(_ldws.angleLeft, _ldws.regionHeight - 1));
            _ldws.warnXRight = static_cast<uint16_t>(WarningX(_ldws.angleRight, _ldws.regionHeight - 1));
        }
    }
    if (frameCnt++ > static_cast<unsigned>(10 * samples)) {
        status = CALIBRATION_FAILED;
        ResetCalibration();
    }
    return status;
}
