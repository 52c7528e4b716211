#include <gtest/gtest.h>

#include "framework/Application.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // A box nobody answers would hang the run: fail loudly instead.
  Application->SetMessageBoxResponder([](const AnsiString& text, const AnsiString& caption, unsigned) {
    ADD_FAILURE() << "unexpected message box: [" << caption << "] " << text;
    return 1;
  });
  return RUN_ALL_TESTS();
}
