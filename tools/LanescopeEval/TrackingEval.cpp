// The CLEAR-MOT measures (per-frame matching that keeps established correspondences) and the identity
// measures (one optimal pairing of whole trajectories).

#include "TrackingEval.h"

#include <map>
#include <optional>
#include <utility>

namespace {

/* The boxes of one file inside the scored frames and of at least minScore, by frame. */
std::map<int, std::vector<const MotBox*>> ByFrame(const std::vector<MotBox>& boxes, const ScoreOptions& o,
                                                  double minScore)
{
    std::map<int, std::vector<const MotBox*>> frames;
    for (const MotBox& b : boxes)
        if (b.frame >= o.firstFrame && b.frame <= o.lastFrame && b.score >= minScore)
            frames[b.frame].push_back(&b);
    return frames;
}

/* -1 in the eighth column, or none there, gives a box no class or type. */
bool Typed(const MotBox& b)
{
    return b.type != -1;
}

double Ratio(double numerator, double denominator)
{
    return denominator > 0 ? numerator / denominator : 0.0;
}

/* What the matching remembers of one ground-truth object between frames. Every int is some track's id, so
   "no track" is an empty optional. */
struct ObjectHistory
{
    std::optional<int> lastTrack;         /* track it was last matched to in any frame, if ever */
    std::optional<int> trackWhenLastSeen; /* track it was matched to in the last frame it appeared, if any */
    bool matchedBefore = false;           /* matched in some earlier frame */
    bool interrupted = false;             /* missed since its last match */
    long frames = 0;                      /* frames in which it appears */
    long matchedFrames = 0;               /* frames in which it is matched */
};

/* The matches of one frame as (truth index, track index) pairs, established correspondences first. */
std::vector<std::pair<std::size_t, std::size_t>> MatchFrame(const std::vector<const MotBox*>& truth,
                                                            const std::vector<const MotBox*>& tracks,
                                                            const std::map<int, ObjectHistory>& history,
                                                            double threshold)
{
    std::vector<std::pair<std::size_t, std::size_t>> matches;
    std::vector<bool> truthTaken(truth.size(), false), trackTaken(tracks.size(), false);
    for (std::size_t g = 0; g < truth.size(); ++g) {
        const auto h = history.find(truth[g]->id);
        if (h == history.end() || !h->second.trackWhenLastSeen)
            continue;
        for (std::size_t t = 0; t < tracks.size(); ++t)
            if (!trackTaken[t] && tracks[t]->id == *h->second.trackWhenLastSeen &&
                BoxIou(truth[g]->box, tracks[t]->box) >= threshold) {
                matches.emplace_back(g, t);
                truthTaken[g] = trackTaken[t] = true;
                break;
            }
    }
    std::vector<std::size_t> freeTruth, freeTracks;
    for (std::size_t g = 0; g < truth.size(); ++g)
        if (!truthTaken[g])
            freeTruth.push_back(g);
    for (std::size_t t = 0; t < tracks.size(); ++t)
        if (!trackTaken[t])
            freeTracks.push_back(t);
    // Each allowed pair is worth a bonus larger than any sum of IoUs, so the least cost assignment has the
    // most matches and, among those, the greatest total IoU; pairs below the threshold are worth nothing.
    const double bonus = double(std::min(freeTruth.size(), freeTracks.size())) + 1.0;
    std::vector<std::vector<double>> cost(freeTruth.size(), std::vector<double>(freeTracks.size(), 0.0));
    for (std::size_t i = 0; i < freeTruth.size(); ++i)
        for (std::size_t j = 0; j < freeTracks.size(); ++j) {
            const double iou = BoxIou(truth[freeTruth[i]]->box, tracks[freeTracks[j]]->box);
            if (iou >= threshold)
                cost[i][j] = -(bonus + iou);
        }
    const std::vector<int> assigned = AssignMinimumCost(cost);
    for (std::size_t i = 0; i < assigned.size(); ++i)
        if (assigned[i] >= 0 && cost[i][std::size_t(assigned[i])] < 0)
            matches.emplace_back(freeTruth[i], freeTracks[std::size_t(assigned[i])]);
    return matches;
}

/* IDTP: the most box pairs within the threshold that a one-to-one pairing of objects with tracks keeps. */
long IdentityTruePositives(const std::map<int, std::vector<const MotBox*>>& truth,
                           const std::map<int, std::vector<const MotBox*>>& tracks, double threshold)
{
    std::map<int, std::size_t> objectRow, trackColumn;
    std::map<std::pair<std::size_t, std::size_t>, long> together;
    for (const auto& [frame, boxes] : truth)
        for (const MotBox* b : boxes)
            objectRow.emplace(b->id, objectRow.size());
    for (const auto& [frame, boxes] : tracks)
        for (const MotBox* b : boxes)
            trackColumn.emplace(b->id, trackColumn.size());
    for (const auto& [frame, boxes] : truth) {
        const auto t = tracks.find(frame);
        if (t == tracks.end())
            continue;
        for (const MotBox* g : boxes)
            for (const MotBox* h : t->second)
                if (BoxIou(g->box, h->box) >= threshold)
                    ++together[{objectRow[g->id], trackColumn[h->id]}];
    }
    std::vector<std::vector<double>> cost(objectRow.size(), std::vector<double>(trackColumn.size(), 0.0));
    for (const auto& [pair, frames] : together)
        cost[pair.first][pair.second] = -double(frames);
    const std::vector<int> assigned = AssignMinimumCost(cost);
    long idtp = 0;
    for (std::size_t i = 0; i < assigned.size(); ++i)
        if (assigned[i] >= 0)
            idtp += long(-cost[i][std::size_t(assigned[i])]);
    return idtp;
}

} // namespace

double BoxIou(const cv::Rect2d& a, const cv::Rect2d& b)
{
    if (a.width <= 0 || a.height <= 0 || b.width <= 0 || b.height <= 0)
        return 0.0;
    const double overlap = (a & b).area();
    return overlap / (a.area() + b.area() - overlap);
}

TrackingScores ScoreTracks(const std::vector<MotBox>& truth, const std::vector<MotBox>& tracks,
                           const ScoreOptions& options)
{
    const auto truthFrames = ByFrame(truth, options, -HUGE_VAL);
    const auto trackFrames = ByFrame(tracks, options, options.minConfidence);
    std::map<int, std::vector<const MotBox*>> frames = truthFrames;
    for (const auto& [frame, boxes] : trackFrames)
        frames.emplace(frame, std::vector<const MotBox*>());

    TrackingScores s;
    std::map<int, ObjectHistory> history;
    double iouSum = 0;
    const std::vector<const MotBox*> none;
    for (const auto& [frame, unused] : frames) {
        const auto g = truthFrames.find(frame);
        const auto h = trackFrames.find(frame);
        const std::vector<const MotBox*>& objects = g == truthFrames.end() ? none : g->second;
        const std::vector<const MotBox*>& hypotheses = h == trackFrames.end() ? none : h->second;
        const auto matches = MatchFrame(objects, hypotheses, history, options.iouThreshold);

        std::vector<std::optional<int>> trackOf(objects.size());
        for (const auto& [gi, ti] : matches) {
            trackOf[gi] = hypotheses[ti]->id;
            iouSum += BoxIou(objects[gi]->box, hypotheses[ti]->box);
            if (Typed(*objects[gi]) && Typed(*hypotheses[ti]))
                ++s.typePairs[{objects[gi]->type, hypotheses[ti]->type}];
        }
        for (std::size_t gi = 0; gi < objects.size(); ++gi) {
            ObjectHistory& o = history[objects[gi]->id];
            ++o.frames;
            o.trackWhenLastSeen = trackOf[gi];
            if (!trackOf[gi]) {
                o.interrupted = o.matchedBefore;
                continue;
            }
            ++o.matchedFrames;
            if (o.lastTrack && o.lastTrack != trackOf[gi])
                ++s.idSwitches;
            if (o.interrupted)
                ++s.fragmentations;
            o.lastTrack = trackOf[gi];
            o.matchedBefore = true;
            o.interrupted = false;
        }
        s.truthBoxes += long(objects.size());
        s.trackBoxes += long(hypotheses.size());
        s.matches += long(matches.size());
    }
    s.misses = s.truthBoxes - s.matches;
    s.falsePositives = s.trackBoxes - s.matches;
    for (const auto& [id, o] : history) {
        const double tracked = double(o.matchedFrames) / double(o.frames);
        ++s.objects;
        if (tracked >= 0.8)
            ++s.mostlyTracked;
        else if (tracked <= 0.2)
            ++s.mostlyLost;
        else
            ++s.partlyTracked;
    }
    s.mota = s.truthBoxes > 0
                 ? 1.0 - double(s.misses + s.falsePositives + s.idSwitches) / double(s.truthBoxes)
                 : 0.0;
    s.motp = Ratio(iouSum, double(s.matches));
    s.precision = Ratio(double(s.matches), double(s.trackBoxes));
    s.recall = Ratio(double(s.matches), double(s.truthBoxes));
    s.idTruePositives = IdentityTruePositives(truthFrames, trackFrames, options.iouThreshold);
    s.idf1 = Ratio(2.0 * double(s.idTruePositives), double(s.truthBoxes + s.trackBoxes));
    s.idPrecision = Ratio(double(s.idTruePositives), double(s.trackBoxes));
    s.idRecall = Ratio(double(s.idTruePositives), double(s.truthBoxes));
    for (const auto& [pair, count] : s.typePairs) {
        s.typedMatches += count;
        if (pair.first == pair.second)
            s.rightTypes += count;
    }
    s.typeAccuracy = Ratio(double(s.rightTypes), double(s.typedMatches));
    return s;
}
