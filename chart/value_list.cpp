#include "chart/value_list.h"

#include "chart/errors.h"
#include "chart/series.h"

#include <cmath>
#include <utility>

namespace chart {

TChartValueList::TChartValueList(TChartSeries& owner, std::string name) : owner_(owner), name_(std::move(name))
{
    owner_.ValueLists().push_back(this);
}

void TChartValueList::SetDateTime(bool v)
{
    if (dateTime_ == v)
        return;
    dateTime_ = v;
    owner_.Repaint();
}

void TChartValueList::SetMultiplier(double v)
{
    if (multiplier_ == v)
        return;
    multiplier_ = v;
    statsDirty_ = true;
    owner_.Repaint();
}

void TChartValueList::CheckIndex(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(index);
}

double TChartValueList::ValueAt(int index) const
{
    CheckIndex(index);
    return values_[static_cast<std::size_t>(index)] * multiplier_;
}

int TChartValueList::InsertOrdered(double raw)
{
    int count = Count();
    int index = count;
    if (order_ != TChartListOrder::loNone && count > 0) {
        double last = values_.back();
        if (order_ == TChartListOrder::loAscending ? !(last <= raw) : !(last >= raw)) {
            // Scan back over the values that must come after the new one.
            int i = count - 1;
            if (order_ == TChartListOrder::loAscending)
                while (i >= 0 && values_[static_cast<std::size_t>(i)] > raw)
                    --i;
            else
                while (i >= 0 && values_[static_cast<std::size_t>(i)] < raw)
                    --i;
            index = i + 1;
        }
    }
    values_.insert(values_.begin() + index, raw);
    statsDirty_ = true;
    return index;
}

void TChartValueList::InsertValueAt(int index, double raw)
{
    if (index < 0 || index > Count())
        throw EListError(index);
    values_.insert(values_.begin() + index, raw);
    statsDirty_ = true;
}

void TChartValueList::DeleteValueAt(int index)
{
    CheckIndex(index);
    values_.erase(values_.begin() + index);
    statsDirty_ = true;
}

void TChartValueList::SetValueAt(int index, double raw)
{
    CheckIndex(index);
    values_[static_cast<std::size_t>(index)] = raw;
    statsDirty_ = true;
    owner_.Repaint();
}

int TChartValueList::IndexOfValue(double value) const
{
    for (int i = 0; i < Count(); ++i)
        if (values_[static_cast<std::size_t>(i)] * multiplier_ == value)
            return i;
    return -1;
}

void TChartValueList::ClearAll()
{
    values_.clear();
    values_.shrink_to_fit();
    statsDirty_ = true;
}

void TChartValueList::NumberSequentially()
{
    for (std::size_t i = 0; i < values_.size(); ++i)
        values_[i] = static_cast<double>(i);
    statsDirty_ = true;
}

void TChartValueList::RecomputeStats() const
{
    if (!statsDirty_)
        return;
    if (values_.empty()) {
        lowest_ = highest_ = sum_ = absSum_ = 0;
    } else {
        double v = values_[0] * multiplier_;
        lowest_ = highest_ = sum_ = v;
        absSum_ = std::fabs(v);
        for (std::size_t i = 1; i < values_.size(); ++i) {
            v = values_[i] * multiplier_;
            if (v < lowest_)
                lowest_ = v;
            else if (v > highest_)
                highest_ = v;
            sum_ += v;
            absSum_ += std::fabs(v);
        }
    }
    statsDirty_ = false;
}

double TChartValueList::Lowest() const
{
    RecomputeStats();
    return lowest_;
}

double TChartValueList::Highest() const
{
    RecomputeStats();
    return highest_;
}

double TChartValueList::Sum() const
{
    RecomputeStats();
    return sum_;
}

double TChartValueList::AbsSum() const
{
    RecomputeStats();
    return absSum_;
}

void TChartValueList::SwapValues(int a, int b)
{
    std::swap(values_[static_cast<std::size_t>(a)], values_[static_cast<std::size_t>(b)]);
    statsDirty_ = true;
}

int TChartValueList::Compare(int a, int b) const
{
    double va = ValueAt(a);
    double vb = ValueAt(b);
    int result = va < vb ? -1 : (va > vb ? 1 : 0);
    return order_ == TChartListOrder::loDescending ? -result : result;
}

void TChartValueList::QuickSort(int l, int r)
{
    int i = l;
    int j = r;
    int pivot = (l + r) / 2;
    while (i <= j) {
        while (Compare(i, pivot) < 0)
            ++i;
        while (Compare(pivot, j) < 0)
            --j;
        if (i <= j) {
            owner_.SwapPoints(i, j);
            // The pivot is compared by index, so it follows its value.
            if (i == pivot)
                pivot = j;
            else if (j == pivot)
                pivot = i;
            ++i;
            --j;
        }
    }
    if (l < j)
        QuickSort(l, j);
    if (i < r)
        QuickSort(i, r);
}

void TChartValueList::SortByOrder()
{
    if (order_ == TChartListOrder::loNone || Count() < 2)
        return;
    QuickSort(0, Count() - 1);
}

}  // namespace chart
