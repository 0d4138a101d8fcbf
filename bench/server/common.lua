-- Shared by the wrk scripts: reads a request file and counts replies that
-- are not what the service should answer.
local common = {}

function common.lines(path)
  local lines = {}
  for line in io.lines(path) do
    if #line > 0 then lines[#lines + 1] = line end
  end
  assert(#lines > 0, "no requests in " .. path)
  return lines
end

local threads = {}

function common.install(expect_body)
  setup = function(thread)
    thread:set("failures", 0)
    thread:set("thread_index", #threads)
    table.insert(threads, thread)
  end
  response = function(status, headers, body)
    if status ~= 200 or (expect_body and body ~= expect_body) then
      failures = (failures or 0) + 1
      if (failures or 0) <= 3 then io.stderr:write("unexpected reply ", status, " ", body, "\n") end
    end
  end
  done = function(summary, latency, requests)
    local failed = 0
    for _, thread in ipairs(threads) do failed = failed + (thread:get("failures") or 0) end
    io.write(string.format("unexpected replies: %d of %d\n", failed, summary.requests))
    io.write(string.format("p50 %.2f ms  p99 %.2f ms  max %.2f ms\n", latency:percentile(50) / 1000,
                           latency:percentile(99) / 1000, latency.max / 1000))
  end
end

return common
