// Teaching at the scan's own windows. The tracker recognises a taught view only within a few pixels of
// where it was taught, while its scan reads windows a third of a window apart; a view taught at an
// object's centre is therefore met by few of the windows that later fall on the object. So each object is
// taught at the windows of the scan that would report it, at the scales nearest its size, and each such
// window again until the memory recognises it there: the places where the scan looks are the places that
// were taught. An object moving through the taught frames passes every place of the scan's grid, so the
// windows of the later frames meet views taught at their own place.
#include "Teaching.h"

#include "TaughtFrames.h"

#include <algorithm>
#include <vector>

namespace {

/* A window of the scan and the size of the box its recognition reports. */
struct CvScanView
{
    CvRect window;
    cv::Size reported;
};

/* The frame's taught objects and the scan's windows that show each, gathered by CollectView. */
struct CvViewSearch
{
    CvAssociativeMemory* memory;
    double overlap;                            /* the overlap a window's reported box needs */
    std::vector<const CvAnnotatedBox*> boxes;  /* the objects taught in the frame */
    std::vector<std::vector<CvScanView>> views; /* per object, the windows that show it */
};

/* The box that a recognition of window reports: the deepest level's area in the middle of the window,
   where the descent, which moves it by at most the levels' margins, leaves it on average. */
cv::Rect ReportedBox(const CvAssociativeMemory& memory, CvRect window)
{
    const CvRect deepest = memory.context.scanRects[memory.context.levels];
    return cv::Rect(window.x + (window.width - deepest.width) / 2, window.y + (window.height - deepest.height) / 2,
                    deepest.width, deepest.height);
}

/* Adds a scanned window to the views of the object whose box its reported box overlaps most, when that is
   at least the search's overlap. */
void CollectView(CvRect window, void* context)
{
    CvViewSearch& search = *static_cast<CvViewSearch*>(context);
    const cv::Rect reported = ReportedBox(*search.memory, window);
    double best = search.overlap;
    int chosen = -1;
    for (size_t i = 0; i < search.boxes.size(); i++) {
        const double overlap = Overlap(reported, search.boxes[i]->box);
        if (overlap >= best) {
            best = overlap;
            chosen = int(i);
        }
    }
    if (chosen >= 0)
        search.views[size_t(chosen)].push_back({window, reported.size()});
}

/* Overlap of two boxes of the given sizes with one centre: how well the one's size and shape fit the
   other's. */
double SizeFit(const cv::Size& a, const cv::Size& b)
{
    const double common = double(std::min(a.width, b.width)) * std::min(a.height, b.height);
    return common / (double(a.area()) + double(b.area()) - common);
}

/* Keeps of views those of the scales, at most scales of them, whose reported box fits object best. */
void KeepNearestScales(std::vector<CvScanView>& views, const cv::Rect& object, int scales)
{
    std::vector<cv::Size> sizes;
    for (const CvScanView& v : views)
        if (std::find(sizes.begin(), sizes.end(), v.reported) == sizes.end())
            sizes.push_back(v.reported);
    std::stable_sort(sizes.begin(), sizes.end(), [&](const cv::Size& a, const cv::Size& b) {
        return SizeFit(a, object.size()) > SizeFit(b, object.size());
    });
    sizes.resize(std::min(sizes.size(), size_t(scales)));
    views.erase(std::remove_if(views.begin(), views.end(),
                               [&](const CvScanView& v) {
                                   return std::find(sizes.begin(), sizes.end(), v.reported) == sizes.end();
                               }),
                views.end());
}

/* Whether memory recognises window as b's type with a found box that overlaps b's as a match must. */
bool Recognises(CvAssociativeMemory& memory, CvRect window, const CvAnnotatedBox& b)
{
    CvRect found = window;
    int* data = NULL;
    return memory.Read(window, &found, &data) && data && *data == b.type &&
           Overlap(cv::Rect(found.x, found.y, found.width, found.height), b.box) >= CV_LS_RECALL_OVERLAP;
}

/* Writes window as b's type, and while the memory does not recognise the window, the areas a pixel round
   it, nearest first, until tries areas are written. A write makes its new bases where its own descent
   places them, which can lie a pixel off where a read of the same window looks after the shifts that the
   levels above chose; an area beside it often lands where the read looks. Returns the areas written. */
int TeachWindow(CvAssociativeMemory& memory, CvRect window, const CvAnnotatedBox& b, const cv::Size& frame,
                int tries)
{
    static const int CV_LS_ROUND[][2] = {{0, 0}, {1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
    int written = 0;
    for (const auto& offset : CV_LS_ROUND) {
        const CvRect area = cvRect(window.x + offset[0], window.y + offset[1], window.width, window.height);
        if (written == tries)
            break;
        if (area.x < 0 || area.y < 0 || area.x + area.width > frame.width || area.y + area.height > frame.height)
            continue;
        memory.Write(area, &b.type);
        written++;
        if (Recognises(memory, window, b))
            break;
    }
    return written;
}

/* One pass over the taught frames: every window that shows a taught object is read, and with teach, taught
   when the memory does not recognise it. With report, the pass tallies every object per type. Returns the
   areas written, or -1 when the video cannot be read. */
int ViewPass(CvAssociativeMemory& memory, const std::string& videoPath, const CvAnnotations& annotations,
             const CvTeachingBudget& budget, bool teach, CvTeachingReport* report)
{
    int written = 0;
    const bool read = ForEachTaughtFrame(
        memory, videoPath, annotations, budget, [&](const cv::Size& frame, const std::vector<CvAnnotatedBox>& boxes) {
            CvViewSearch search{&memory, budget.overlap, {}, {}};
            for (const CvAnnotatedBox& b : boxes) {
                if (!Chosen(b, budget))
                    continue;
                // An object cut by the frame's edge would be learned from what is not there.
                if (InsideFrame(b.box, frame))
                    search.boxes.push_back(&b);
                else if (report)
                    report->byType[b.type].outside++;
            }
            search.views.assign(search.boxes.size(), {});
            memory.ScanImage(CvAMScanFunc{CollectView}, &search);
            for (size_t i = 0; i < search.boxes.size(); i++) {
                const CvAnnotatedBox& b = *search.boxes[i];
                KeepNearestScales(search.views[i], b.box, budget.scales);
                int taught = 0;
                for (const CvScanView& v : search.views[i])
                    if (!Recognises(memory, v.window, b) && teach)
                        taught += TeachWindow(memory, v.window, b, frame, budget.tries);
                written += taught;
                if (!report)
                    continue;
                CvTypeTally& tally = report->byType[b.type];
                tally.taught += taught;
                tally.unfitted += search.views[i].empty();
            }
        });
    return read ? written : -1;
}

} // namespace

bool TeachScanViews(CvAssociativeMemory& memory, const std::string& videoPath, const CvAnnotations& annotations,
                    const CvTeachingBudget& budget, CvTeachingReport& report)
{
    if (ViewPass(memory, videoPath, annotations, budget, true, &report) < 0)
        return false;
    if (budget.passes == 0)
        return true;
    // The reads of the passes give the bases that recognise the objects the hits that tracking would; the
    // pruning drops what the save would drop, and what the memory no longer recognises is taught again.
    for (int pass = 0; pass < budget.passes; pass++)
        ViewPass(memory, videoPath, annotations, budget, false, NULL);
    memory.root->Prune();
    report.retaught = ViewPass(memory, videoPath, annotations, budget, true, NULL);
    for (int pass = 0; pass < budget.passes; pass++)
        ViewPass(memory, videoPath, annotations, budget, false, NULL);
    return true;
}
