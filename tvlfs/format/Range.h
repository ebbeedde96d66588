#pragma once

// An arithmetic range of allowed values: min..max in steps of increment.
class Range {
public:
    Range() = default;
    Range(int min, int max, int increment = 1);

    bool allowed(int value) const;
    // The allowed value closest to value (bounds clamp, off-grid values round down onto the grid).
    int closest(int value) const;

    int min() const { return _min; }
    int max() const { return _max; }
    int inc() const { return _increment; }

    bool operator==(const Range& other) const = default;

private:
    int _min = -1;
    int _max = -1;
    int _increment = 1;
};
