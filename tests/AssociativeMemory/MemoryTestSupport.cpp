#include "MemoryTestSupport.h"

void SetFrame(CvAssociativeMemory& memory, const cv::Mat& mat)
{
    CvMat header = cvMat(mat);
    memory.SetImage(&header);
}

std::vector<CvAMBase*> Entries(const CvAMBase* base)
{
    std::vector<CvAMBase*> entries;
    for (int i = 0; base->children && i < base->children->total; i++)
        entries.push_back(*reinterpret_cast<CvAMBase**>(cvGetSeqElem(base->children, i)));
    return entries;
}

std::vector<CvAMBase*> CollectBases(CvAMBase* root)
{
    std::vector<CvAMBase*> bases{root};
    for (CvAMBase* child : Entries(root))
        if (child)
            for (CvAMBase* base : CollectBases(child))
                bases.push_back(base);
    return bases;
}
