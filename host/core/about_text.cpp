#include "about_text.h"

#include "config_file.h"

namespace mokuna {

std::vector<std::string> VersionNoteLines(const std::string* file_bytes) {
  if (!file_bytes) return {"version.txt がないにょ～(T^T)"};
  return config::SplitLines(*file_bytes);
}

std::vector<std::string> CreditLines() {
  return {
      "作った人",
      "……Takeru Hoshino（本体・Kavrel）",
      "……Mio Sakuraba（Fennick）",
      "絵をかいてくれた人",
      "……Nanami Kudo",
      "でばぐしてくれてる人",
      "……Oribel開発プロジェクトのみなさん",
  };
}

const std::vector<std::string>& UserGuideLines() {
  static const std::vector<std::string> lines = {
      "＜＜ つかいかた ＞＞",
      "１．インストール",
      "以下のファイルを同じところに突っ込む．",
      "   1. Mokuna本体（Mokuna.exe)",
      "   2. Kavrel（Kavrel.dll)",
      "   3. 拡張DLLの皆様（例：Fennick.dll）",
      "   4. 吹き出し画像ファイル（fukidasi.bmp)",
      "   5. Mokuna画像ファイル（ｃlimon.bmp)",
      "",
      "２．アンインストール",
      "上のファイルを消す．あと，それぞれの設定ファイルも同じ",
      "場所にできるので，それも全部消す．",
      "",
      "３．つかう",
      "とにかくMokuna本体を起動する．",
      "",
      "４．ひだりくりっく",
      "現在は時刻をのたまってくれる．",
      "",
      "５．みぎくりっく",
      "メニューが出る．",
      "   About... このページが出る",
      "   設定... 「６．設定」の章で詳しく．",
      "   拡張DLL > 拡張DLLのプロパティ設定ページに飛ぶ",
      "   終了  見なかったことにする",
      "",
      "   以上以外のメニューはデバッグ用なので，触ってヘンに",
      "なっても責任が取れない．",
      "",
      "６．設定",
      "    ほとんどの設定は再起動後で有効になる．",
      "    説明は…面倒(苦笑)．ためしてみるべし．",
  };
  return lines;
}

AboutFold ToggleAboutFold(int current_height) {
  if (current_height != kAboutUnfoldedHeight) return {kAboutUnfoldedHeight, "説明とじる"};
  return {kAboutFoldedHeight, "つかいかた"};
}

}  // namespace mokuna
