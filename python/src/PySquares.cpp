#include "PySquares.h"

#include "FileRows.h"
#include "Frames.h"
#include "Reports.h"
#include "SquareSearchImage.h"
#include "Squares.h"

#include <opencv2/core/core_c.h>

#include <memory>

namespace {

struct StorageReleaser
{
    void operator()(CvMemStorage* storage) const { cvReleaseMemStorage(&storage); }
};

} // namespace

std::vector<CvPySquare> FindFrameSquares(const cv::Mat& frame, bool upsideDown)
{
    CvReportScope reports;
    cv::Mat turned;
    IplImage bgr = cvIplImage(AnalysedBgr(frame, upsideDown, turned));
    cv::Mat greyImage(frame.size(), CV_8UC1);
    IplImage grey = cvIplImage(greyImage);
    PrepareSquareSearchImage(&bgr, &grey);
    std::unique_ptr<CvMemStorage, StorageReleaser> storage(cvCreateMemStorage(0));
    const CvSeq* found = FindSquares(&grey, storage.get());
    reports.ThrowIfReported();
    std::vector<CvPySquare> squares;
    for (int i = 0; found && i + 4 <= found->total; i += 4) {
        CvPySquare square;
        for (int k = 0; k < 4; k++) {
            const CvPoint p = *reinterpret_cast<const CvPoint*>(cvGetSeqElem(found, i + k));
            square[k] = cv::Point(p.x, upsideDown ? FlippedTop(p.y, 1, frame.rows) : p.y);
        }
        squares.push_back(square);
    }
    return squares;
}
