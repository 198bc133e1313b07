// The peers' methods: OpenCV's single-object trackers and the background subtraction pipeline.

#include "PeerTrackers.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/tracking.hpp>
#include <opencv2/video/background_segm.hpp>

#include <algorithm>
#include <map>
#include <set>

namespace {

/* tracker's update, false also when it throws: CSRT asserts on search areas that leave the frame. */
bool Update(cv::Tracker& tracker, const cv::Mat& image, cv::Rect& box)
{
    try {
        return tracker.update(image, box);
    } catch (const cv::Exception&) {
        return false;
    }
}

class SingleObjectPeer : public PeerMethod
{
  public:
    SingleObjectPeer(PeerKind trackerKind, const std::vector<MotBox>& truth) : kind(trackerKind)
    {
        for (const MotBox& b : truth)
            truthByFrame[b.frame].push_back(b);
    }

    std::vector<PeerBox> Follow(int frame, const cv::Mat& image) override
    {
        const std::vector<MotBox>& now = Truth(frame);
        const std::vector<MotBox>& before = Truth(frame - 1);
        for (const MotBox& b : now)
            if (std::none_of(before.begin(), before.end(), [&](const MotBox& p) { return p.id == b.id; })) {
                // The object comes in anew: a tracker of its last passage has lost it when it went out.
                started.erase(b.id);
                running.erase(std::remove_if(running.begin(), running.end(),
                                             [&](const Running& r) { return r.id == b.id; }),
                              running.end());
            }
        std::vector<PeerBox> boxes;
        const cv::Rect whole(0, 0, image.cols, image.rows);
        for (auto t = running.begin(); t != running.end();) {
            cv::Rect box;
            if (Update(*t->tracker, image, box) && 2 * (box & whole).area() >= box.area() && !box.empty()) {
                boxes.push_back(PeerBox{t->id, box, t->type});
                ++t;
            } else {
                t = running.erase(t);
            }
        }
        // A tracker starts on the whole object: once the true box no longer touches the frame's edge.
        const cv::Rect inner(1, 1, image.cols - 2, image.rows - 2);
        for (const MotBox& b : now) {
            const cv::Rect box(b.box);
            if (started.count(b.id) || (box & inner) != box || box.empty())
                continue;
            started.insert(b.id);
            Running r{b.id, b.type, Create()};
            try {
                r.tracker->init(image, box);
            } catch (const cv::Exception&) {
                continue; // too small for this tracker: never started
            }
            running.push_back(r);
            boxes.push_back(PeerBox{b.id, box, b.type});
        }
        return boxes;
    }

  private:
    struct Running
    {
        int id;                       /* the object's ground-truth id */
        int type;                     /* its ground-truth class */
        cv::Ptr<cv::Tracker> tracker; /* the tracker that follows it */
    };

    cv::Ptr<cv::Tracker> Create() const
    {
        if (kind == PeerKind::Kcf)
            return cv::TrackerKCF::create();
        return cv::TrackerCSRT::create();
    }

    PeerKind kind;
    const std::vector<MotBox>& Truth(int frame) const
    {
        static const std::vector<MotBox> none;
        const auto f = truthByFrame.find(frame);
        return f == truthByFrame.end() ? none : f->second;
    }

    std::map<int, std::vector<MotBox>> truthByFrame; /* the true boxes, by frame */
    std::set<int> started;                           /* objects whose tracker was started in this passage */
    std::vector<Running> running;                    /* the trackers still following their objects */
};

class BackgroundPeer : public PeerMethod
{
  public:
    explicit BackgroundPeer(int smallestArea)
        : minArea(smallestArea), subtractor(cv::createBackgroundSubtractorMOG2()),
          open(cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(3, 3))),
          close(cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(15, 15)))
    {
    }

    std::vector<PeerBox> Follow(int frame, const cv::Mat& image) override
    {
        subtractor->apply(image, foreground);
        // MOG2 marks shadows 127 and moving pixels 255; shadows are no vehicles.
        cv::threshold(foreground, foreground, 200, 255, cv::THRESH_BINARY);
        cv::morphologyEx(foreground, foreground, cv::MORPH_OPEN, open);
        cv::morphologyEx(foreground, foreground, cv::MORPH_CLOSE, close);
        const int count = cv::connectedComponentsWithStats(foreground, labels, stats, centroids, 8, CV_32S);
        std::vector<cv::Rect> blobs;
        for (int i = 1; i < count; ++i)
            if (stats.at<int>(i, cv::CC_STAT_AREA) >= minArea)
                blobs.emplace_back(stats.at<int>(i, cv::CC_STAT_LEFT), stats.at<int>(i, cv::CC_STAT_TOP),
                                   stats.at<int>(i, cv::CC_STAT_WIDTH), stats.at<int>(i, cv::CC_STAT_HEIGHT));

        // Tracks unseen for a few frames stay open so that a blob that flickers out keeps its identity.
        tracks.erase(
            std::remove_if(tracks.begin(), tracks.end(),
                           [frame](const Track& t) { return frame - t.lastFrame > maxUnseenFrames; }),
            tracks.end());
        std::vector<std::vector<double>> cost(blobs.size(), std::vector<double>(tracks.size(), 0.0));
        for (std::size_t b = 0; b < blobs.size(); ++b)
            for (std::size_t t = 0; t < tracks.size(); ++t) {
                const double iou = BoxIou(blobs[b], tracks[t].box);
                if (iou >= minIou)
                    cost[b][t] = -iou;
            }
        const std::vector<int> trackOf = AssignMinimumCost(cost);
        std::vector<PeerBox> boxes;
        for (std::size_t b = 0; b < blobs.size(); ++b) {
            if (trackOf[b] < 0 || cost[b][std::size_t(trackOf[b])] == 0.0) {
                tracks.push_back(Track{nextId++, blobs[b], frame});
                boxes.push_back(PeerBox{tracks.back().id, blobs[b], -1});
                continue;
            }
            Track& t = tracks[std::size_t(trackOf[b])];
            t.box = blobs[b];
            t.lastFrame = frame;
            boxes.push_back(PeerBox{t.id, blobs[b], -1});
        }
        return boxes;
    }

  private:
    struct Track
    {
        int id;        /* identity given to the blob when first seen */
        cv::Rect box;  /* its last box */
        int lastFrame; /* the frame of that box */
    };

    static constexpr int maxUnseenFrames = 5;
    static constexpr double minIou = 0.3;

    int minArea;
    cv::Ptr<cv::BackgroundSubtractorMOG2> subtractor;
    cv::Mat open, close;                          /* structuring elements of the clean-up */
    cv::Mat foreground, labels, stats, centroids; /* work images, kept between frames */
    std::vector<Track> tracks;
    int nextId = 1;
};

} // namespace

std::unique_ptr<PeerMethod> MakeSingleObjectPeer(PeerKind kind, const std::vector<MotBox>& truth)
{
    return std::make_unique<SingleObjectPeer>(kind, truth);
}

std::unique_ptr<PeerMethod> MakeBackgroundPeer(int minArea)
{
    return std::make_unique<BackgroundPeer>(minArea);
}
