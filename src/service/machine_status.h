#pragma once
// The reduced machine status values the service loop acts on.
inline constexpr int kStatusLost = -1;
inline constexpr int kStatusBusy = 1;
inline constexpr int kStatusIdle = 2;
inline constexpr int kStatusJob = 3;
inline constexpr int kStatusViewBit = 128;
