#pragma once
// The spectrum engine of the flicker metrics: the discrete Fourier transform
// of real values of any length through KissFFT (float), a length with large
// prime factors through a chirp convolution of a fast length.

#include <complex>
#include <cstddef>
#include <vector>

namespace analysis {

// The complex spectrum of real values, components 0 .. n/2, unscaled.
std::vector<std::complex<double>> Spectrum(const std::vector<double>& x);

// The amplitude of each component 0 .. n/2 of real values: a sine of
// amplitude A gives A at its bin.
std::vector<double> Amplitudes(const std::vector<double>& x);

// The bin of the strongest component `peak` refined between bins, from the
// spectrum under a periodic Hann window.
double RefinedPeak(const std::vector<double>& x, std::size_t peak);

}  // namespace analysis
