#pragma once
// One column of numbers of a series (the X values, the Y values ...).

#include <string>
#include <vector>

namespace chart {

class TChartSeries;

enum class TChartListOrder { loNone, loAscending, loDescending };

class TChartValueList {
public:
    // Registers the list in the owner's value lists.
    TChartValueList(TChartSeries& owner, std::string name);
    TChartValueList(const TChartValueList&) = delete;
    TChartValueList& operator=(const TChartValueList&) = delete;

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    TChartListOrder Order() const { return order_; }
    void SetOrder(TChartListOrder order) { order_ = order; }
    bool DateTime() const { return dateTime_; }
    void SetDateTime(bool v);
    double Multiplier() const { return multiplier_; }
    void SetMultiplier(double v);
    const std::string& ValueSource() const { return valueSource_; }
    void SetValueSource(std::string v) { valueSource_ = std::move(v); }
    TChartSeries& Owner() const { return owner_; }

    int Count() const { return static_cast<int>(values_.size()); }
    // Stored value times the multiplier; EListError outside 0 .. Count()-1.
    double ValueAt(int index) const;
    // Inserts a raw value where Order() puts it and returns its index.
    int InsertOrdered(double raw);
    // Inserts at 0 .. Count() without looking at the order.
    void InsertValueAt(int index, double raw);
    void DeleteValueAt(int index);
    void SetValueAt(int index, double raw);
    double LastValue() const { return ValueAt(Count() - 1); }
    int IndexOfValue(double value) const;
    void ClearAll();
    // Sorts all points of the owning series by this list.
    void SortByOrder();
    void NumberSequentially();

    double Lowest() const;
    double Highest() const;
    double Sum() const;
    double AbsSum() const;
    bool StatsDirty() const { return statsDirty_; }

    // Stored, un-multiplied values (the drawing loop reads them directly).
    const std::vector<double>& RawValues() const { return values_; }

private:
    friend class TChartSeries;
    void CheckIndex(int index) const;
    void RecomputeStats() const;
    void SwapValues(int a, int b);
    int Compare(int a, int b) const;
    void QuickSort(int l, int r);

    TChartSeries& owner_;
    std::string name_;
    TChartListOrder order_ = TChartListOrder::loNone;
    bool dateTime_ = false;
    double multiplier_ = 1.0;
    std::string valueSource_;
    std::vector<double> values_;
    // The value of the point being added (kept while OnBeforeAdd may refuse it).
    double pending_ = 0;

    mutable double lowest_ = 0, highest_ = 0, sum_ = 0, absSum_ = 0;
    mutable bool statsDirty_ = true;
};

// The series' value lists; X is item 0 and Y item 1.
using TChartValueLists = std::vector<TChartValueList*>;

}  // namespace chart
