-- Score uploads of 20 lines each, every teacher in turn, bodies from
-- uploads.txt (ZX_DATA folder) exactly as the program posts them. Every reply
-- must be "Success!".
package.path = (os.getenv("ZX_SCRIPTS") or ".") .. "/?.lua;" .. package.path
local common = require("common")
local data = os.getenv("ZX_DATA") or "."
local bodies = common.lines(data .. "/uploads.txt")
local i = 0

common.install("Success!")

request = function()
  i = i % #bodies + 1
  return wrk.format("POST", "/score/index.php",
                    {["Content-Type"] = "application/x-www-form-urlencoded"}, bodies[i])
end
