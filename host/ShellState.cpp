#include "ShellState.h"

#include <shellapi.h>

#include "SystemFunction.h"

namespace mokuna {
std::optional<int> QueryUserNotificationState() {
  using Query = HRESULT(WINAPI*)(QUERY_USER_NOTIFICATION_STATE*);
  static const Query query = SystemFunction<Query>(L"shell32.dll", "SHQueryUserNotificationState");
  QUERY_USER_NOTIFICATION_STATE state{};
  if (!query || FAILED(query(&state))) return std::nullopt;
  return static_cast<int>(state);
}

HICON LoadSmallIcon(HINSTANCE module, int id) {
  // The common controls pick the small size for the screen's scale and scale down from a larger image
  // rather than up from a smaller one.
  using LoadIconMetricFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, HICON*);
  static const LoadIconMetricFn load_metric = SystemFunction<LoadIconMetricFn>(L"comctl32.dll", "LoadIconMetric");
  HICON icon = nullptr;
  if (load_metric && SUCCEEDED(load_metric(module, MAKEINTRESOURCEW(id), 0 /* LIM_SMALL */, &icon)) && icon)
    return icon;
  return static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                       GetSystemMetrics(SM_CYSMICON), 0));
}

HICON LoadSmallIcon(HINSTANCE module, int id, int dpi) {
  using MetricsForDpiFn = int(WINAPI*)(int, UINT);
  using ScaleDownFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
  static const MetricsForDpiFn metrics = SystemFunction<MetricsForDpiFn>(L"user32.dll", "GetSystemMetricsForDpi");
  static const ScaleDownFn scale_down = SystemFunction<ScaleDownFn>(L"comctl32.dll", "LoadIconWithScaleDown");
  if (!metrics || dpi <= 0) return LoadSmallIcon(module, id);
  const int cx = metrics(SM_CXSMICON, static_cast<UINT>(dpi)), cy = metrics(SM_CYSMICON, static_cast<UINT>(dpi));
  HICON icon = nullptr;
  if (scale_down && SUCCEEDED(scale_down(module, MAKEINTRESOURCEW(id), cx, cy, &icon)) && icon) return icon;
  return static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, cx, cy, 0));
}

}  // namespace mokuna
