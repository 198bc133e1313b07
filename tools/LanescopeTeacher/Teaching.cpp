#include "Teaching.h"

#include "GreyPipeline.h"
#include "TaughtFrames.h"

#include <algorithm>
#include <vector>

namespace {

/* The size of the areas memory was created for. */
cv::Size AreaOf(const CvAssociativeMemory& memory)
{
    return cv::Size(memory.context.width, memory.context.height);
}

/* The area of the memory's size that a click on the box's centre would place. */
CvRect ClickArea(const cv::Rect& box, const cv::Size& size)
{
    return cvRect(box.x + box.width / 2 - size.width / 2, box.y + box.height / 2 - size.height / 2,
                  size.width, size.height);
}

/* Whether b is taught with areas of the given size in a frame of the given size; counts the reason in
   tally when it is not. */
bool Teachable(const CvAnnotatedBox& b, const cv::Size& frame, const cv::Size& size,
               const CvTeachingBudget& budget, CvTypeTally* tally)
{
    if (!Chosen(b, budget))
        return false;
    const CvRect area = ClickArea(b.box, size);
    // Too little of such an area would show the object for the memory to know it again.
    if (b.box.width < size.width / 2 && b.box.height < size.height / 2) {
        if (tally)
            tally->tooSmall++;
        return false;
    }
    // An object cut by the frame's edge would be learned from what is not there.
    if (area.x < 0 || area.y < 0 || area.x + area.width > frame.width ||
        area.y + area.height > frame.height) {
        if (tally)
            tally->outside++;
        return false;
    }
    return true;
}

/* The taught boxes of one frame, handed through the scan to RecallWindow. */
struct CvRecallContext
{
    CvAssociativeMemory* memory;
    std::vector<const CvAnnotatedBox*> boxes; /* the frame's taught boxes */
    std::vector<int> recognised;              /* per box, the windows over it that the memory recognised */
};

/* Reads a scanned window as the tracker's scan does, when it shows a taught object. */
void RecallWindow(CvRect window, void* context)
{
    CvRecallContext& c = *static_cast<CvRecallContext*>(context);
    const cv::Rect w(window.x, window.y, window.width, window.height);
    for (size_t i = 0; i < c.boxes.size(); i++) {
        if (Overlap(w, c.boxes[i]->box) >= CV_LS_RECALL_OVERLAP) {
            c.recognised[i] += c.memory->Read(window);
            return;
        }
    }
}

/* Writes the click area of b and reads it back, as a training frame does. */
void TeachBox(CvAssociativeMemory& memory, const CvAnnotatedBox& b)
{
    const CvRect area = ClickArea(b.box, AreaOf(memory));
    memory.Write(area, &b.type);
    memory.Read(area);
}

/* One recall pass over the taught frames; with reteach, a taught object that no window recognised is
   taught again. Returns the number of areas taught again. */
int RecallPass(CvAssociativeMemory& memory, const std::string& videoPath, const CvAnnotations& annotations,
               const CvTeachingBudget& budget, bool reteach)
{
    int retaught = 0;
    ForEachTaughtFrame(memory, videoPath, annotations, budget,
                       [&](const cv::Size& frame, const std::vector<CvAnnotatedBox>& boxes) {
                           CvRecallContext context{&memory, {}, {}};
                           for (const CvAnnotatedBox& b : boxes)
                               if (Teachable(b, frame, AreaOf(memory), budget, NULL))
                                   context.boxes.push_back(&b);
                           if (context.boxes.empty())
                               return;
                           context.recognised.assign(context.boxes.size(), 0);
                           memory.ScanImage(CvAMScanFunc{RecallWindow}, &context);
                           for (size_t i = 0; reteach && i < context.boxes.size(); i++)
                               if (!context.recognised[i]) {
                                   TeachBox(memory, *context.boxes[i]);
                                   retaught++;
                               }
                       });
    return retaught;
}

} // namespace

bool Chosen(const CvAnnotatedBox& b, const CvTeachingBudget& budget)
{
    return budget.ids.empty() || budget.ids.count(b.id);
}

bool InsideFrame(const cv::Rect& box, const cv::Size& frame)
{
    return box.x > 0 && box.y > 0 && box.x + box.width < frame.width && box.y + box.height < frame.height;
}

double Overlap(const cv::Rect& a, const cv::Rect& b)
{
    const double common = (a & b).area();
    return common / (double(a.area()) + double(b.area()) - common);
}

CvAreaChoice ChooseArea(const CvAnnotations& annotations, const CvTeachingBudget& budget,
                        const cv::Size& frame)
{
    // A box cut by the frame's edge has the size of what is in view, not of its object; such boxes count
    // only when no other box is taught.
    std::vector<int> widths, heights;
    for (const bool whole : {true, false}) {
        for (const auto& [k, boxes] : annotations.byFrame)
            for (const CvAnnotatedBox& b : boxes)
                if (k < budget.frames && k % budget.every == 0 && Chosen(b, budget) &&
                    (!whole || InsideFrame(b.box, frame))) {
                    widths.push_back(b.box.width);
                    heights.push_back(b.box.height);
                }
        if (!widths.empty())
            break;
    }
    CvAreaChoice choice;
    if (!widths.empty()) {
        const auto middle = std::ptrdiff_t(widths.size() / 2);
        std::nth_element(widths.begin(), widths.begin() + middle, widths.end());
        std::nth_element(heights.begin(), heights.begin() + middle, heights.end());
        choice.median = cv::Size(widths[size_t(middle)], heights[size_t(middle)]);
    }
    choice.area = cv::Size(std::max(CV_AM_MIN_AREA_SIDE, std::min(choice.median.width, frame.width)),
                           std::max(CV_AM_MIN_AREA_SIDE, std::min(choice.median.height, frame.height)));
    return choice;
}

int CvTeachingReport::Taught() const
{
    int taught = 0;
    for (const auto& t : byType)
        taught += t.second.taught;
    return taught;
}

void SetDecodedFrame(CvAssociativeMemory& memory, cv::Mat& frame, cv::Mat& grey)
{
    cv::flip(frame, frame, 0);
    grey.create(frame.size(), CV_8UC1);
    IplImage frameIpl = cvIplImage(frame), greyIpl = cvIplImage(grey);
    PrepareGreyImage(&frameIpl, &greyIpl);
    memory.SetImage(&greyIpl);
}

bool OpenVideo(cv::VideoCapture& video, const std::string& videoPath)
{
    // The "file:" prefix keeps a name that looks like a stream address a plain file.
    return video.open("file:" + videoPath, cv::CAP_FFMPEG) && video.isOpened();
}

bool TeachFromVideo(CvAssociativeMemory& memory, const std::string& videoPath,
                    const CvAnnotations& annotations, const CvTeachingBudget& budget,
                    CvTeachingReport& report)
{
    report = CvTeachingReport();
    report.area.area = budget.area;
    if (budget.area.empty()) {
        cv::VideoCapture video;
        if (!OpenVideo(video, videoPath))
            return false;
        const cv::Size frame(int(video.get(cv::CAP_PROP_FRAME_WIDTH)),
                             int(video.get(cv::CAP_PROP_FRAME_HEIGHT)));
        report.area = ChooseArea(annotations, budget, frame);
    }
    memory.Create(report.area.area.width, report.area.area.height, 0);
    report.area.area = AreaOf(memory);
    if (budget.views == CvTeachingViews::Scan)
        return TeachScanViews(memory, videoPath, annotations, budget, report);
    const bool read =
        ForEachTaughtFrame(memory, videoPath, annotations, budget,
                           [&](const cv::Size& frame, const std::vector<CvAnnotatedBox>& boxes) {
                               for (const CvAnnotatedBox& b : boxes) {
                                   // Objects that the budget leaves out are not the report's to tally.
                                   if (!Chosen(b, budget))
                                       continue;
                                   CvTypeTally& tally = report.byType[b.type];
                                   if (Teachable(b, frame, AreaOf(memory), budget, &tally)) {
                                       TeachBox(memory, b);
                                       tally.taught++;
                                   }
                               }
                           });
    if (!read || budget.passes == 0)
        return read;
    // A taught base lives on only with the hits of recognising its object: the windows of the tracker's
    // scan over each taught object read the memory again, as tracking the object would. Then the memory
    // is pruned as the save will prune it, the objects it no longer recognises anywhere are taught again,
    // and the passes give the new bases their hits.
    for (int pass = 0; pass < budget.passes; pass++)
        RecallPass(memory, videoPath, annotations, budget, false);
    memory.root->Prune();
    report.retaught = RecallPass(memory, videoPath, annotations, budget, true);
    for (int pass = 0; pass < budget.passes; pass++)
        RecallPass(memory, videoPath, annotations, budget, false);
    return true;
}
